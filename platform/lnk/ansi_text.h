// Conversions of the texts a shell link holds into the program's UTF-8:
// Windows-1252 for its ANSI strings (the code page of the systems the
// product runs on) and UTF-16LE for its Unicode strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace act::lnk {

std::string Cp1252ToUtf8(const uint8_t* bytes, size_t n);

// n is a count of 16-bit code units. Unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* bytes, size_t n);

}  // namespace act::lnk
