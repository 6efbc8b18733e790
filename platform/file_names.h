// File names compared as Windows compares them: without regard to letter
// case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace act {

// Both separators Windows takes in a path.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// The names of a path's folders and file, in order: separators repeated or
// trailing name nothing, "." is dropped and ".." takes back the name before
// it (never past the first), as Windows resolves a path.
std::vector<std::string> PathNames(std::string_view path);

// A file name with its letters folded to one case: ASCII and the letters of
// Windows-1252, which covers every name the product uses.
std::u16string FoldFileName(const std::string& name);

}  // namespace act
