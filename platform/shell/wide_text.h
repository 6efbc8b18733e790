// UTF-8 (the program's texts) to and from the UTF-16 of the Windows "W"
// functions and the system's ANSI code page of the "A" functions.
#pragma once

#include <string>

namespace act {

std::wstring Widen(const std::string& utf8);
std::string FromWide(const std::wstring& wide);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace act
