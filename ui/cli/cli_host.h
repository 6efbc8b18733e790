// What actualizador-cli needs from the operating system, one file per
// platform (its arguments come from platform/command_line.h): its own folder, a console that shows
// UTF-8, and its log file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace act {

// The folder of the running executable: no trailing separator except at a
// drive root ("e:\"). On posix a native path starting with '/'.
std::string ExecutableFolder();

// Makes the console show the UTF-8 the program writes.
void PrepareConsole();

// Whether standard error is a terminal (a console on Windows) rather than a
// file or a pipe.
bool StandardErrorIsTerminal();

// Opens the file (a path of this machine, UTF-8) for appending text, making
// it when missing; null when it cannot be opened.
std::FILE* OpenForAppending(const std::string& path);

// On posix, a native origin folder ("/media/disco") is renamed as a path on
// the drive of the prefix that holds it ("e:\" or "z:\media\disco"), the
// target drive first, so that the run joins Windows paths to it and sees
// when its package is the staging folder. A native origin that does not
// exist or that no drive holds throws act::Error 76. Drive paths, and every
// origin on Windows, come back unchanged.
std::string OriginAsDrivePath(const std::string& origin, const std::string& drive,
                              const std::string& prefix);

}  // namespace act
