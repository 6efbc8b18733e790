// The command line of actualizador-cli.
#pragma once

#include <string>
#include <vector>

namespace act {

struct CliOptions {
  bool help = false;
  std::string drive;   // --drive: the drive text, e.g. "c:"
  std::string origin;  // --origin: the updater's own folder; empty = the executable's
  std::string prefix;  // --prefix: posix only, the Wine-style prefix holding the drives
  bool dry_run = false;  // --dry-run: read everything, write nothing, print the plan
  std::string log;       // --log: the file a log of the run is appended to
};

// Parses the arguments after the program name. Throws act::Error 5 (Invalid
// procedure call or argument) naming the offending argument.
CliOptions ParseCliOptions(const std::vector<std::string>& args);

// What --help prints.
const char* CliUsage();

}  // namespace act
