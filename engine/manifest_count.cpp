#include "engine/manifest_count.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>

namespace act {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// "&H..." and "&O...": whole numbers, 16-bit signed when they fit 16 bits and
// 32-bit signed otherwise, as Val gives them (&HFFFF is -1, &H10000 65536).
double RadixNumber(const std::string& s, int base) {
  uint64_t value = 0;
  for (size_t i = 2; i < s.size(); ++i) {
    int d = DigitValue(s[i], base);
    if (d < 0) break;
    value = value * base + d;
    if (value > 0xFFFFFFFFull) return HUGE_VAL;  // wider than Val accepts
  }
  if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace

double LeadingNumber(std::string_view text) {
  std::string s;
  for (char c : text)
    if (!IsBlank(c)) s += c;

  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return RadixNumber(s, 16);
    if (s[1] == 'O' || s[1] == 'o') return RadixNumber(s, 8);
    return 0;
  }

  // The longest prefix of the form [sign] digits [. digits] [exponent],
  // rewritten for from_chars, which reads '.' whatever the locale.
  std::string number;
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  size_t mantissa_digits = 0;
  while (i < s.size() && IsDigit(s[i])) number += s[i++], ++mantissa_digits;
  if (i < s.size() && s[i] == '.') {
    number += s[i++];
    while (i < s.size() && IsDigit(s[i])) number += s[i++], ++mantissa_digits;
  }
  if (mantissa_digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) exponent += s[j++];
      number += exponent;
    }
  }
  if (number[0] == '.') number.insert(0, "0");
  double value = 0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = HUGE_VAL;  // fails as Overflow later
  return negative ? -value : value;
}

int16_t ToCount(std::string_view text, const std::string& what) {
  double value = LeadingNumber(text);
  // nearbyint rounds as the current mode says; the default mode is
  // to-nearest with halves to even, the conversion the counts rely on.
  double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0))
    throw Error(kErrOverflow, "'" + std::string(text) + "' in " + what);
  return static_cast<int16_t>(rounded);
}

}  // namespace act
