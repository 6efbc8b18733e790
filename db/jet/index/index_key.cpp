#include "db/jet/index/index_key.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "db/errors.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

// How a character takes part in the accent stream: a base letter (one
// that has accented forms) waits for an accent after it; the letters that
// expand to two (ß, Æ, Œ) wait as the two base letters they stand for.
enum KeyClass : uint8_t { kKeyPlain, kKeyBase, kKeyBase2, kKeyAccent };

struct KeyCode {
  KeyClass key_class;
  uint8_t count;       // key bytes (0, 1 or 2)
  uint8_t bytes[2];
  uint8_t nibble;      // accent nibble
};

constexpr KeyCode kJet3TextKeyCodes[256] = {
#include "jet3_text_key_table.inc"
};

constexpr uint8_t kAscending = 0x7F;
constexpr uint8_t kDescending = 0x80;
constexpr uint8_t kNullAscending = 0x00;
constexpr uint8_t kNullDescending = 0xFF;

void AppendBigEndian(KeyBytes& key, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) key.push_back(uint8_t(v >> (8 * i)));
}

// Two's complement with the sign bit flipped sorts like the number.
void AppendSigned(KeyBytes& key, int64_t v, int bytes) {
  uint64_t bits = uint64_t(v) ^ (uint64_t(1) << (8 * bytes - 1));
  AppendBigEndian(key, bits, bytes);
}

// IEEE numbers: positive ones get the sign bit set, negative ones are
// inverted whole, so that unsigned order is numeric order.
void AppendFloating(KeyBytes& key, uint64_t bits, int bytes) {
  uint64_t sign = uint64_t(1) << (8 * bytes - 1);
  uint64_t mask = bytes == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * bytes)) - 1;
  bits = (bits & sign) ? (~bits & mask) : (bits | sign);
  AppendBigEndian(key, bits, bytes);
}

// Binary values (GUIDs among them) go in groups of eight bytes, each
// followed by 09 when more follow; the last group is padded with zeros and
// followed by its length. Descending order inverts the data and that last
// length, but not the 09 separators.
void AppendBinaryGroups(KeyBytes& key, std::string_view raw, bool ascending) {
  const uint8_t flip = ascending ? 0x00 : 0xFF;
  for (size_t at = 0; at < raw.size(); at += 8) {
    const size_t n = std::min<size_t>(8, raw.size() - at);
    for (size_t i = 0; i < 8; ++i) key.push_back(uint8_t(i < n ? raw[at + i] : 0) ^ flip);
    key.push_back(at + 8 < raw.size() ? 0x09 : uint8_t(n) ^ flip);
  }
}

void AppendGuid(KeyBytes& key, const std::string& text, bool ascending) {
  // Canonical order is the order of the hex digits in the text form.
  char raw[16] = {};
  int n = 0;
  for (size_t i = 0; i < text.size() && n < 32; ++i) {
    char c = text[i];
    int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (digit < 0) continue;
    if (n % 2 == 0) raw[n / 2] = char(digit << 4); else raw[n / 2] = char(raw[n / 2] | digit);
    ++n;
  }
  AppendBinaryGroups(key, std::string_view(raw, 16), ascending);
}

}  // namespace

void AppendJet3TextKey(KeyBytes& key, std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.size() > 255) text = text.substr(0, 255);
  // Built on the stack and appended once: at most two bytes per character,
  // then the accent nibbles (a leading zero, at most two per character, a
  // closing zero and a pad) two to a byte.
  constexpr size_t kMaxNibbles = 1 + 2 * 255 + 2;
  std::array<uint8_t, 2 * 255 + (kMaxNibbles + 1) / 2> bytes;
  std::array<uint8_t, kMaxNibbles> nibbles;
  size_t length = 0;
  size_t count = 0;
  int pending_base = 0;
  for (char ch : text) {
    const KeyCode& code = kJet3TextKeyCodes[uint8_t(ch)];
    bytes[length] = code.bytes[0];
    bytes[length + 1] = code.bytes[1];
    length += code.count;
    if (code.key_class == kKeyBase) {
      ++pending_base;
    } else if (code.key_class == kKeyBase2) {
      pending_base += 2;
    } else if (code.key_class == kKeyAccent) {
      if (count == 0) nibbles[count++] = 0;
      for (; pending_base > 0; --pending_base) nibbles[count++] = 2;
      nibbles[count++] = code.nibble;
    }
  }
  if (count == 0) {
    bytes[length++] = 0x00;
  } else {
    nibbles[count++] = 0;
    if (count % 2) nibbles[count++] = 0;
    for (size_t i = 0; i < count; i += 2) {
      bytes[length++] = uint8_t((nibbles[i] << 4) | nibbles[i + 1]);
    }
  }
  key.append(bytes.data(), length);
}

KeyBytes Jet3TextKey(std::string_view text) {
  KeyBytes key;
  AppendJet3TextKey(key, text);
  return key;
}

void AppendKeyColumn(KeyBytes& key, const Format& format, const ColumnDef& column,
                     bool ascending, const Value& value, bool stored_text) {
  if (value.is_null()) {
    key.push_back(ascending ? kNullAscending : kNullDescending);
    return;
  }
  key.push_back(ascending ? kAscending : kDescending);
  size_t start = key.size();
  switch (column.type) {
    case kTypeBoolean: key.push_back(value.integer() ? 0x00 : 0xFF); break;
    case kTypeByte: key.push_back(uint8_t(value.integer())); break;
    case kTypeInteger: AppendSigned(key, value.integer(), 2); break;
    case kTypeLong: AppendSigned(key, value.integer(), 4); break;
    case kTypeCurrency: AppendSigned(key, value.integer(), 8); break;
    case kTypeSingle: {
      float f = float(value.real());
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      AppendFloating(key, bits, 4);
      break;
    }
    case kTypeDouble: case kTypeDateTime: {
      double d = value.real();
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      AppendFloating(key, bits, 8);
      break;
    }
    case kTypeGuid:
      AppendGuid(key, value.bytes(), ascending);
      return;  // inverted above, separators kept
    case kTypeBinary:
      AppendBinaryGroups(key, value.bytes(), ascending);
      return;
    case kTypeText: case kTypeMemo: {
      if (!format.is_jet3()) {
        throw JetFailure(kJetOperationNotSupported,
                         "text keys of Jet 4 indexes (column '" + column.name + "')");
      }
      std::optional<std::string> cp1252;
      if (!stored_text) {
        cp1252 = Utf8ToCp1252(value.bytes());
        if (!cp1252) {
          throw JetFailure(kJetOperationNotSupported,
                           "text without a Windows-1252 form in index column '" + column.name +
                               "'");
        }
      }
      AppendJet3TextKey(key, stored_text ? value.bytes() : *cp1252);
      break;
    }
    default:
      throw JetFailure(kJetOperationNotSupported,
                       "index keys of column type " + std::to_string(column.type) + " ('" +
                           column.name + "')");
  }
  if (!ascending) {
    for (size_t i = start; i < key.size(); ++i) key[i] ^= 0xFF;
  }
}

KeyBytes EncodeIndexKey(const Format& format, const TableDefinition& table,
                        const RealIndex& index, std::span<const Value> row,
                        const std::vector<bool>* stored_text) {
  KeyBytes key;
  AppendIndexKey(key, format, table, index, row, stored_text);
  return key;
}

void AppendIndexKey(KeyBytes& key, const Format& format, const TableDefinition& table,
                    const RealIndex& index, std::span<const Value> row,
                    const std::vector<bool>* stored_text) {
  for (const IndexColumn& ic : index.columns) {
    size_t at = 0;
    while (at < table.columns.size() && table.columns[at].number != ic.column_number) ++at;
    if (at == table.columns.size() || at >= row.size()) {
      throw JetFailure(kJetItemNotFound, "index column " + std::to_string(ic.column_number));
    }
    AppendKeyColumn(key, format, table.columns[at], ic.ascending, row[at],
                    stored_text && (*stored_text)[at]);
  }
}

size_t NullKeyColumns(const TableDefinition& table, const RealIndex& index,
                      std::span<const Value> row) {
  size_t nulls = 0;
  for (const IndexColumn& ic : index.columns) {
    size_t at = 0;
    while (at < table.columns.size() && table.columns[at].number != ic.column_number) ++at;
    if (at >= table.columns.size() || at >= row.size() || row[at].is_null()) ++nulls;
  }
  return nulls;
}

}  // namespace act::db::jet
