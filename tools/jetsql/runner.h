// What jetsql does with its parsed command line.
#pragma once

#include <iosfwd>

#include "platform/file_system.h"
#include "tools/jetsql/command_line.h"

namespace act::jetsql {

// Runs the command on options.file through fs, writing results to out and
// the report of a failure to err. Returns the exit status: 0 when all went
// well, 1 on the first failure (which ends the run) and when --check finds
// problems (listed on out, one a line).
int Run(const Options& options, FileSystem& fs, std::istream& in, std::ostream& out,
        std::ostream& err);

}  // namespace act::jetsql
