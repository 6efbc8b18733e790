#include "db/jet/write/row_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "db/errors.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

template <typename T>
void SetRaw(StoredField& out, T v) {
  out.present = true;
  out.bytes.resize(sizeof v);
  std::memcpy(out.bytes.data(), &v, sizeof v);  // the targets are little-endian
}

std::string GuidBytes(const std::string& text) {
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": three little-endian groups,
  // then eight bytes as written.
  auto hex = [&](size_t at) { return uint8_t(std::stoul(text.substr(at, 2), nullptr, 16)); };
  std::string g(16, '\0');
  const size_t first[4] = {7, 5, 3, 1};
  for (int i = 0; i < 4; ++i) g[i] = char(hex(first[i]));
  g[4] = char(hex(12)); g[5] = char(hex(10));
  g[6] = char(hex(17)); g[7] = char(hex(15));
  const size_t last[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) g[8 + i] = char(hex(last[i]));
  return g;
}

}  // namespace

void EncodeField(const ColumnDef& column, const Value& v, const std::string& file,
                 StoredField& out, bool stored_text) {
  if (column.type == kTypeBoolean) {
    out.present = v.kind() == Value::Kind::kBoolean && v.integer();
    out.bytes.clear();
    return;
  }
  out.present = false;
  out.bytes.clear();
  if (v.is_null()) return;
  auto mismatch = [&]() {
    return JetFailure(kJetConversionError, file + ": column '" + column.name +
                                               "' cannot store the value '" + v.ToText() + "'");
  };
  switch (column.type) {
    case kTypeByte: return SetRaw(out, uint8_t(v.integer()));
    case kTypeInteger: return SetRaw(out, int16_t(v.integer()));
    case kTypeLong: return SetRaw(out, int32_t(v.integer()));
    case kTypeCurrency: return SetRaw(out, int64_t(v.integer()));
    case kTypeSingle: return SetRaw(out, float(v.real()));
    case kTypeDouble: case kTypeDateTime: return SetRaw(out, double(v.real()));
    case kTypeGuid:
      if (v.bytes().size() != 38) throw mismatch();
      out = {true, GuidBytes(v.bytes())};
      return;
    case kTypeText: {
      if (stored_text) out.bytes = v.bytes();
      else if (!Utf8ToCp1252(v.bytes(), out.bytes)) throw mismatch();
      if (out.bytes.size() > column.length) {
        throw JetFailure(kJetFieldTooSmall, file + ": column '" + column.name + "' holds " +
                                                std::to_string(column.length) +
                                                " characters, the value has " +
                                                std::to_string(out.bytes.size()));
      }
      out.present = true;
      return;
    }
    case kTypeBinary:
      if (v.bytes().size() > column.length) {
        throw JetFailure(kJetFieldTooSmall, file + ": column '" + column.name + "' holds " +
                                                std::to_string(column.length) + " bytes");
      }
      out = {true, v.bytes()};
      return;
    default:
      throw JetFailure(kJetOperationNotSupported,
                         file + ": writing column '" + column.name + "' of type " +
                             std::to_string(column.type));
  }
}

RowLayout LayoutOf(const TableDefinition& table) {
  RowLayout layout;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    if (!c.is_fixed() || c.type == kTypeBoolean) continue;
    int size = FixedSize(c.type);
    const size_t room = size > 0 ? size_t(size) : c.length;
    layout.fixed.push_back({i, c.fixed_offset, room});
    layout.fixed_size = std::max<size_t>(layout.fixed_size, c.fixed_offset + room);
  }
  // A TDEF counts its variable columns in a byte.
  if (table.var_columns > 255) {
    throw JetFailure(kJetOperationNotSupported, "a row of more than 255 columns");
  }
  layout.var_columns.assign(table.var_columns, -1);
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    if (!c.is_fixed() && c.var_index < table.var_columns) layout.var_columns[c.var_index] = int(i);
  }
  layout.mask_size = (table.max_columns + 7) / 8;
  return layout;
}

void EncodeRow(const Format& format, const TableDefinition& table,
               const std::vector<StoredField>& fields, std::vector<uint8_t>& row) {
  EncodeRow(format, table, LayoutOf(table), fields, row);
}

void EncodeRow(const Format& format, const TableDefinition& table, const RowLayout& layout,
               const std::vector<StoredField>& fields, std::vector<uint8_t>& row) {
  if (!format.is_jet3()) {
    throw JetFailure(kJetOperationNotSupported, "writing rows of Jet 4 databases");
  }
  const size_t fixed_size = layout.fixed_size;
  const size_t nvar = layout.var_columns.size();
  const size_t mask_size = layout.mask_size;
  auto var_field = [&](size_t k) -> const StoredField* {
    const int column = layout.var_columns[k];
    return column < 0 ? nullptr : &fields[size_t(column)];
  };
  size_t var_bytes = 0;
  for (size_t k = 0; k < nvar; ++k) {
    const StoredField* f = var_field(k);
    if (f && f->present) var_bytes += f->bytes.size();
  }

  // Column count, fixed part, variable data, its offset table, the jump
  // table, the variable-column count and the null mask: sized first, then
  // written through a plain pointer (writes through the vector would make
  // the compiler reload its data pointer after every byte).
  const size_t data_end = 1 + fixed_size + var_bytes;
  size_t jumps = 0;
  if (nvar > 0) {
    // Jumps until every 256-byte boundary before the offset table's end has one.
    const size_t base = data_end + (nvar + 1) + 1 + mask_size;
    for (;;) {
      size_t need = (base + jumps - 1) / 256;
      if (need == jumps) break;
      jumps = need;
    }
  }
  const size_t total = data_end + (nvar > 0 ? (nvar + 1) + jumps + 1 : 0) + mask_size;
  row.assign(total, 0);
  uint8_t* const out = row.data();
  out[0] = uint8_t(table.max_columns);
  for (const RowLayout::Fixed& f : layout.fixed) {
    const StoredField& field = fields[f.column];
    if (!field.present) continue;
    std::memcpy(out + 1 + f.offset, field.bytes.data(), std::min(f.room, field.bytes.size()));
  }
  if (nvar > 0) {
    std::array<size_t, 257> offsets;  // var0..var(n-1), then EOD
    size_t at = 1 + fixed_size;
    for (size_t k = 0; k < nvar; ++k) {
      offsets[k] = at;
      const StoredField* f = var_field(k);
      if (f && f->present && !f->bytes.empty()) {
        const std::string& bytes = f->bytes;
        std::memcpy(out + at, bytes.data(), bytes.size());
        at += bytes.size();
      }
    }
    offsets[nvar] = at;
    uint8_t* p = out + at;
    for (size_t k = nvar + 1; k-- > 0;) *p++ = uint8_t(offsets[k] & 0xFF);
    // Jump j (nearest the count byte first) names the first entry at or past
    // 256 * (j + 1); 0xFF when the data ends before that boundary. Stored
    // last jump first.
    for (size_t j = jumps; j-- > 0;) {
      uint8_t jump = 0xFF;
      for (size_t k = 0; k <= nvar; ++k) {
        if (offsets[k] >= 256 * (j + 1)) {
          jump = uint8_t(k);
          break;
        }
      }
      *p++ = jump;
    }
    *p++ = uint8_t(nvar);
  }
  uint8_t* const mask = out + total - mask_size;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    if (fields[i].present) mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
  }
}

}  // namespace act::db::jet
