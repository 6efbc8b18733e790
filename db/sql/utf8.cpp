#include "db/sql/utf8.h"

namespace act::sql {

static bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const auto byte = [&](std::size_t i) -> unsigned char {
    return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0;
  };
  unsigned char c = byte(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return IsContinuation(byte(1)) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    unsigned char c1 = byte(1);
    if (!IsContinuation(c1) || !IsContinuation(byte(2))) return 0;
    if (c == 0xE0 && c1 < 0xA0) return 0;  // overlong
    if (c == 0xED && c1 >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    unsigned char c1 = byte(1);
    if (!IsContinuation(c1) || !IsContinuation(byte(2)) || !IsContinuation(byte(3))) return 0;
    if (c == 0xF0 && c1 < 0x90) return 0;  // overlong
    if (c == 0xF4 && c1 >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

std::size_t FindInvalidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {  // most of any statement
      ++pos;
      continue;
    }
    std::size_t n = Utf8SequenceLength(text, pos);
    if (n == 0) return pos;
    pos += n;
  }
  return std::string_view::npos;
}

std::size_t CountCharacters(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    std::size_t n = Utf8SequenceLength(text, pos);
    pos += n == 0 ? 1 : n;
  }
  return count;
}

std::size_t CharacterStart(std::string_view text, std::size_t pos) {
  std::size_t steps = 0;
  while (pos > 0 && pos < text.size() && steps < 3 &&
         IsContinuation(static_cast<unsigned char>(text[pos]))) {
    --pos;
    ++steps;
  }
  return pos;
}

std::string ValidUtf8OrQuestionMarks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t n = Utf8SequenceLength(text, pos);
    if (n == 0) {
      out += '?';
      ++pos;
    } else {
      out.append(text.substr(pos, n));
      pos += n;
    }
  }
  return out;
}

}  // namespace act::sql
