#include "db/exec/value_order.h"

#include <bit>
#include <cstdint>

#include "db/jet/index/index_key.h"
#include "db/jet/table/text.h"
#include "db/sql/utf8.h"

namespace act::db::exec {

namespace {

void AppendBigEndian(std::string& key, uint64_t bits) {
  for (int shift = 56; shift >= 0; shift -= 8) key += char(bits >> shift);
}

// Sign flipped (and negatives inverted) so that the bytes sort as the
// numbers do.
void AppendDouble(std::string& key, double d) {
  if (d == 0) d = 0;  // -0 and 0 are one value
  uint64_t bits = std::bit_cast<uint64_t>(d);
  AppendBigEndian(key, bits >> 63 ? ~bits : bits | (uint64_t(1) << 63));
}

// Bytes of any content in a form no longer one starts with: each 0x00 is
// followed by 0xFF, and 0x00 0x00 ends them, so that the next column's key
// compares only once these are equal.
void AppendDelimited(std::string& key, std::string_view bytes) {
  for (char c : bytes) {
    key += c;
    if (c == 0) key += '\xFF';
  }
  key.append(2, '\0');
}

}  // namespace

std::string TextCompareKey(std::string_view text) {
  size_t end = 0;
  for (size_t n = 0; end < text.size() && n < kMaxKeyCharacters; ++n) {
    size_t length = sql::Utf8SequenceLength(text, end);
    end += length ? length : 1;
  }
  text = text.substr(0, end);
  if (auto cp1252 = jet::Utf8ToCp1252(text)) {
    jet::KeyBytes bytes = jet::Jet3TextKey(*cp1252);
    return std::string(bytes.begin(), bytes.end());
  }
  std::string key(1, '\xFF');
  for (char c : text) key += c >= 'A' && c <= 'Z' ? char(c + 32) : c;
  return key;
}

int JetTextCompare(std::string_view a, std::string_view b) {
  int c = TextCompareKey(a).compare(TextCompareKey(b));
  return (c > 0) - (c < 0);
}

double NumberValue(const Value& v) {
  return v.kind() == Value::Kind::kBoolean ? -double(v.integer()) : v.AsDouble();
}

void AppendOrderKey(std::string& key, const Value& v, bool descending) {
  const size_t start = key.size();
  if (v.is_null()) {
    key += '\0';
  } else {
    key += '\1';
    if (v.is_text()) {
      AppendDelimited(key, TextCompareKey(v.bytes()));
    } else if (v.is_number()) {
      AppendDouble(key, NumberValue(v));
      // Large amounts that round to one double still differ in cents.
      if (v.kind() == Value::Kind::kCurrency) {
        AppendBigEndian(key, uint64_t(v.integer()) ^ (uint64_t(1) << 63));
      }
    } else {
      AppendDelimited(key, v.bytes());
    }
  }
  if (descending) {
    for (size_t i = start; i < key.size(); ++i) key[i] = char(~key[i]);
  }
}

int CompareForOrder(const Value& a, const Value& b) {
  std::string x, y;
  AppendOrderKey(x, a);
  AppendOrderKey(y, b);
  int c = x.compare(y);
  return (c > 0) - (c < 0);
}

}  // namespace act::db::exec
