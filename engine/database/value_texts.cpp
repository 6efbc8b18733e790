#include "engine/database/value_texts.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/error.h"

namespace act {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A decimal number as VB reads one from text: blanks around it, a sign,
// digits with at most one '.', an optional exponent. Nothing else.
bool ParseNumber(const std::string& text, double& out) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::string s = text.substr(begin, end - begin);
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  if (i != s.size()) return false;
  out = std::strtod(s.c_str(), nullptr);
  return true;
}

}  // namespace

bool IsNonEmpty(const db::Value& v) { return !v.is_null() && !TextForm(v).empty(); }

std::string TextForm(const db::Value& v) { return v.ToText(); }

int32_t ToLong(const db::Value& v, const std::string& what) {
  using Kind = db::Value::Kind;
  double d = 0;
  switch (v.kind()) {
    case Kind::kBoolean:
      return v.integer() ? -1 : 0;  // VB's True is -1
    case Kind::kByte: case Kind::kInteger: case Kind::kLong:
      return int32_t(v.integer());
    case Kind::kText: case Kind::kDecimal:
      if (!ParseNumber(v.bytes(), d)) {
        throw Error(kErrTypeMismatch, what + ": '" + v.bytes() + "' is no number");
      }
      break;
    case Kind::kCurrency: case Kind::kSingle: case Kind::kDouble: case Kind::kDateTime:
      d = v.AsDouble();
      break;
    default:
      throw Error(kErrTypeMismatch, what + " is no number");
  }
  double rounded = std::nearbyint(d);  // the default rounding mode: half to even
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw Error(kErrOverflow, what + ": " + TextForm(v) + " does not fit a Long");
  }
  return int32_t(rounded);
}

}  // namespace act
