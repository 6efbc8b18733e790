// The program's arguments after its name, as UTF-8 text. On Windows main's
// argv is in the ANSI code page, which loses every character a folder name
// may have beyond it; the wide command line keeps them.
#pragma once

#include <string>
#include <vector>

namespace act {

std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace act
