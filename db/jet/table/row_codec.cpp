#include "db/jet/table/row_codec.h"

#include <cstdio>
#include <cstring>

#include "db/jet/table/long_value.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

int FixedSize(uint8_t type) {
  switch (type) {
    case kTypeBoolean: return 0;
    case kTypeByte: return 1;
    case kTypeInteger: return 2;
    case kTypeLong: case kTypeSingle: return 4;
    case kTypeCurrency: case kTypeDouble: case kTypeDateTime: return 8;
    case kTypeGuid: return 16;
    case kTypeDecimal: return 17;
    default: return -1;
  }
}

RowDecoder::RowDecoder(const Format& format, const TableDefinition& table)
    : format_(format), table_(table), slices_(table.columns.size()) {}

void RowDecoder::ReadVarOffsets(const Page& page, std::span<const uint8_t> row,
                                size_t mask_size) {
  const size_t n = row.size();
  var_offsets_.clear();
  if (format_.is_jet3()) {
    size_t count_at = n - mask_size - 1;
    size_t var_count = row[count_at];
    size_t jumps = (n - 1) / 256;
    // off[0] lies just before the jump table; EOD nvar bytes before it.
    if (count_at < jumps + 1 + var_count + 1) page.Fail("variable-offset table overruns the row");
    size_t first = count_at - jumps - 1;
    var_table_start_ = first - var_count;
    // The last jump byte is a placeholder when the data ends before the
    // last 256-byte boundary it would mark.
    if (jumps > 0 && var_table_start_ / 256 < jumps) --jumps;
    size_t used = 0;
    for (size_t i = 0; i <= var_count; ++i) {
      while (used < jumps && row[count_at - 1 - used] == i) ++used;
      var_offsets_.push_back(row[first - i] + 256 * used);
    }
  } else {
    if (n < mask_size + 2) page.Fail("row too short for its variable-column count");
    size_t count_at = n - mask_size - 2;
    size_t var_count = LoadU16(row.data() + count_at);
    if (count_at < 2 * (var_count + 1) + 2) page.Fail("variable-offset table overruns the row");
    var_table_start_ = count_at - 2 * (var_count + 1);
    for (size_t i = 0; i <= var_count; ++i) {
      var_offsets_.push_back(LoadU16(row.data() + count_at - 2 * (i + 1)));
    }
  }
}

void RowDecoder::Split(const Page& page, std::span<const uint8_t> row) {
  const size_t count_size = format_.row_count_size;
  if (row.size() < count_size + 1) page.Fail("row of " + std::to_string(row.size()) + " bytes");
  size_t column_count = count_size == 1 ? row[0] : LoadU16(row.data());
  size_t mask_size = (column_count + 7) / 8;
  if (row.size() < count_size + mask_size) {
    page.Fail("row of " + std::to_string(row.size()) + " bytes cannot hold " +
              std::to_string(column_count) + " columns");
  }
  const uint8_t* mask = row.data() + row.size() - mask_size;
  bool var_read = false;
  for (size_t i = 0; i < table_.columns.size(); ++i) {
    const ColumnDef& c = table_.columns[i];
    ColumnSlice& slice = slices_[i];
    slice = ColumnSlice{};
    // Columns added after the row was written are Null (false for booleans).
    if (c.number >= column_count) continue;
    bool bit = (mask[c.number / 8] >> (c.number % 8)) & 1;
    if (c.type == kTypeBoolean) {
      slice.present = bit;
      continue;
    }
    if (!bit) continue;
    if (c.is_fixed()) {
      int size = FixedSize(c.type);
      size_t length = size > 0 ? size_t(size) : c.length;
      size_t start = count_size + c.fixed_offset;
      if (start + length > row.size() - mask_size) {
        page.Fail("fixed column '" + c.name + "' lies outside its row");
      }
      slice = {true, row.subspan(start, length)};
      continue;
    }
    if (!var_read) {
      ReadVarOffsets(page, row, mask_size);
      var_read = true;
    }
    if (size_t(c.var_index) + 1 >= var_offsets_.size()) continue;  // added after the row
    size_t start = var_offsets_[c.var_index], end = var_offsets_[c.var_index + 1];
    if (start < count_size || start > end || end > var_table_start_) {
      page.Fail("variable column '" + c.name + "' spans bytes " + std::to_string(start) + ".." +
                std::to_string(end) + " of a " + std::to_string(row.size()) + "-byte row");
    }
    slice = {true, row.subspan(start, end - start)};
  }
}

std::string GuidText(std::span<const uint8_t> g) {
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                g[14], g[15]);
  return text;
}

namespace {

// Jet 4 decimal: sign byte (0x80 negative), then four 32-bit little-endian
// words, most significant word first; the column gives the scale.
std::string DecimalText(std::span<const uint8_t> b, unsigned scale) {
  uint32_t words[4];
  for (int i = 0; i < 4; ++i) words[i] = LoadU32(b.data() + 1 + 4 * i);
  std::string digits;
  while (words[0] | words[1] | words[2] | words[3]) {
    uint64_t remainder = 0;
    for (uint32_t& w : words) {
      uint64_t current = (remainder << 32) | w;
      w = uint32_t(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), char('0' + remainder));
  }
  if (scale > 28) scale = 28;
  while (digits.size() <= scale) digits.insert(digits.begin(), '0');
  if (scale > 0) digits.insert(digits.end() - scale, '.');
  if (b[0] & 0x80) digits.insert(digits.begin(), '-');
  return digits;
}

}  // namespace

Value DecodeValue(Pager& pager, const Format& format, const Page& page, const ColumnDef& c,
                  const ColumnSlice& slice) {
  if (c.type == kTypeBoolean) return Value::Boolean(slice.present);
  if (!slice.present) return Value::Null();
  std::span<const uint8_t> b = slice.bytes;
  auto as_string = [](std::span<const uint8_t> s) { return std::string(s.begin(), s.end()); };
  // Variable-stored numbers (some system tables) must still be whole.
  int size = FixedSize(c.type);
  if (size > 0 && b.size() < size_t(size)) {
    page.Fail("column '" + c.name + "' holds " + std::to_string(b.size()) + " of its " +
              std::to_string(size) + " bytes");
  }
  switch (c.type) {
    case kTypeByte: return Value::Byte(b[0]);
    case kTypeInteger: return Value::Integer(int16_t(LoadU16(b.data())));
    case kTypeLong: return Value::Long(int32_t(LoadU32(b.data())));
    case kTypeCurrency: return Value::Currency(int64_t(LoadU64(b.data())));
    case kTypeSingle: {
      float f;
      uint32_t bits = LoadU32(b.data());
      std::memcpy(&f, &bits, 4);
      return Value::Single(f);
    }
    case kTypeDouble: case kTypeDateTime: {
      double d;
      uint64_t bits = LoadU64(b.data());
      std::memcpy(&d, &bits, 8);
      return c.type == kTypeDouble ? Value::Double(d) : Value::DateTime(d);
    }
    case kTypeGuid: return Value::Guid(GuidText(b));
    case kTypeDecimal: return Value::Decimal(DecimalText(b, c.scale));
    case kTypeText:
      return Value::Text(format.is_jet3() ? Cp1252ToUtf8(b) : Jet4TextToUtf8(b));
    case kTypeBinary: return Value::Binary(as_string(b));
    case kTypeMemo: case kTypeOle: {
      std::string data = ReadLongValue(pager, format, page, b);
      if (c.type == kTypeOle) return Value::Binary(std::move(data));
      auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size());
      return Value::Text(format.is_jet3() ? Cp1252ToUtf8(bytes) : Jet4TextToUtf8(bytes));
    }
    default:
      // Types this engine does not interpret (Jet 4 system tables carry one,
      // 0x11) come back as their stored bytes.
      return Value::Binary(as_string(b));
  }
}

void DecodeValueInto(Pager& pager, const Format& format, const Page& page, const ColumnDef& c,
                     const ColumnSlice& slice, Value& out) {
  if (c.type == kTypeText && slice.present && format.is_jet3()) {
    AppendCp1252AsUtf8(slice.bytes, out.TextBuffer());
    return;
  }
  out = DecodeValue(pager, format, page, c, slice);
}

void StoredTextInto(const ColumnSlice& slice, Value& out) {
  if (!slice.present) {
    out = Value::Null();
    return;
  }
  out.TextBuffer().assign(reinterpret_cast<const char*>(slice.bytes.data()), slice.bytes.size());
}

}  // namespace act::db::jet
