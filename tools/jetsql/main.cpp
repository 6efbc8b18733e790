// jetsql FILE STATEMENT... : see HelpText() in command_line.cpp.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "platform/command_line.h"
#include "platform/file_system.h"
#ifdef _WIN32
#include "platform/win32/system_library.h"
#endif
#include "tools/jetsql/command_line.h"
#include "tools/jetsql/runner.h"

int main(int argc, char** argv) {
  // Standard input and output through the C++ streams alone: a script of
  // many megabytes is read in blocks, not a character at a time.
  std::ios_base::sync_with_stdio(false);
#ifdef _WIN32
  act::LoadLibrariesFromSystemFolderOnly();
  // Bytes out as they are: CSV lines end in "\n", as mdb-export's do.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  act::jetsql::Options options;
  try {
    options = act::jetsql::ParseCommandLine(act::CommandLineArguments(argc, argv));
  } catch (const act::jetsql::UsageError& e) {
    std::cerr << "jetsql: " << e.what() << "\nTry jetsql --help.\n";
    return 1;
  }
#ifndef _WIN32
  // The posix file-system service takes host paths that start with '/'.
  if (!options.file.empty()) options.file = std::filesystem::absolute(options.file).string();
  if (!options.target.empty()) options.target = std::filesystem::absolute(options.target).string();
#endif
  std::unique_ptr<act::FileSystem> fs = act::NewPlatformFileSystem();
  return act::jetsql::Run(options, *fs, std::cin, std::cout, std::cerr);
}
