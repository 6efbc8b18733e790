// Text conversions at the file boundary: Jet 3 stores text in the
// database's code page (Windows-1252 in every file this program meets),
// Jet 4 in UTF-16LE with an optional one-byte-per-character compression.
// Inside the program text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace act::db::jet {

// Windows-1252 bytes to UTF-8 (the platform's conversion: the five bytes
// 1252 leaves undefined map to U+0081 etc., as Windows does).
std::string Cp1252ToUtf8(std::span<const uint8_t> bytes);
// The same, appended to `out`: a scan refills one buffer per column, row
// after row, without allocating.
void AppendCp1252AsUtf8(std::span<const uint8_t> bytes, std::string& out);

// UTF-8 to Windows-1252; nullopt when a character has no 1252 byte or the
// input is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
// The same into `out`, whose capacity is reused; false (and `out`
// unspecified) where the other returns nullopt.
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

// UTF-16LE code units to UTF-8 (unpaired surrogates become U+FFFD).
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);

// A Jet 4 text value: UTF-16LE, or the compressed form that starts FF FE.
std::string Jet4TextToUtf8(std::span<const uint8_t> bytes);

// Appends the UTF-8 encoding of a code point.
void AppendUtf8(std::string& out, uint32_t code_point);

}  // namespace act::db::jet
