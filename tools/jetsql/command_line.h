// jetsql's command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace act::jetsql {

struct Options {
  std::string file;                     // the database
  std::vector<std::string> statements;  // in the order given
  bool create = false;                  // --create: make FILE first
  bool json = false;                    // --json: SELECT rows as JSON objects
  bool keep_going = false;              // --keep-going: keep the statements before a failing one
  bool list_tables = false;             // --tables
  bool schema = false;                  // --schema
  bool check = false;                   // --check
  std::string target;                   // --compact's TARGET
  bool compact = false;                 // --compact SOURCE TARGET
  bool repair = false;                  // --repair
  bool help = false;                    // --help / -h
};

// A command line that makes no sense; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options of `args` (without the program name). Options may stand
// anywhere; "--" ends them, so that a statement may start with "--". The
// first other argument is FILE, the rest are statements.
Options ParseCommandLine(const std::vector<std::string>& args);

// Whether statements come from standard input: none were given and no
// listing (--tables, --schema, --check) or maintenance (--compact,
// --repair) was asked for.
bool ReadsStandardInput(const Options& options);

// The text of --help.
const char* HelpText();

}  // namespace act::jetsql
