// Windows-1252, the ANSI code page of the systems the product runs on, and
// UTF-16, the wide text of the Windows API, next to the UTF-8 that the
// program holds.
//
// The conversions are those of MultiByteToWideChar / WideCharToMultiByte for
// code page 1252: the five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for U+0081, U+008D, ... as on Windows, and a
// character the code page cannot represent becomes '?'.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace act {

// Whether the eight bytes at `at` are all ASCII, the same byte in both
// encodings and most of any text: the conversions copy such runs whole.
inline bool EightAscii(const void* at) {
  uint64_t word;
  std::memcpy(&word, at, 8);
  return (word & 0x8080808080808080ull) == 0;
}

char16_t Cp1252ToUnicode(unsigned char byte);
// The byte for a code point, or -1 when Windows-1252 has none.
int UnicodeToCp1252(char32_t code_point);

std::string Cp1252ToUtf8(std::string_view bytes);
// The same, appended to `out`: a database scan refills one buffer per
// column, row after row, without allocating.
void AppendCp1252AsUtf8(std::string_view bytes, std::string& out);
std::string Utf8ToCp1252(std::string_view utf8);

std::u16string Cp1252ToUtf16(std::string_view bytes);
std::string Utf16ToCp1252(std::u16string_view text);

// Malformed UTF-8 sequences become U+FFFD; unpaired surrogates likewise.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace act
