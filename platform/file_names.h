// File names compared as Windows compares them: without regard to letter
// case.
#pragma once

#include <string>

namespace act {

// A file name with its letters folded to one case: ASCII and the letters of
// Windows-1252, which covers every name the product uses.
std::u16string FoldFileName(const std::string& name);

}  // namespace act
