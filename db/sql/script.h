// Scripts: several statements in one text, as jetsql reads them from its
// standard input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace act::sql {

// The statements of `script` (views into it), cut at each ';' that lies
// outside a quoted string, a [bracketed] name and a #date#, each without its
// ';' and without surrounding white space; empty pieces are dropped. A
// string, name or date left open runs to the end of the script, so that the
// parser reports it.
std::vector<std::string_view> SplitStatements(std::string_view script);

}  // namespace act::sql
