#include "db/sql/script.h"

namespace act::sql {

static std::string_view Trim(std::string_view s) {
  const char* kSpace = " \t\r\n\f\v";
  std::size_t begin = s.find_first_not_of(kSpace);
  if (begin == std::string_view::npos) return {};
  std::size_t end = s.find_last_not_of(kSpace);
  return s.substr(begin, end - begin + 1);
}

std::vector<std::string> SplitStatements(std::string_view script) {
  std::vector<std::string> statements;
  std::size_t start = 0;
  // The closing character we are inside of ('\'', '"', ']' or '#'), or 0.
  // A doubled quote needs no special case: it closes and at once reopens.
  char inside = 0;
  for (std::size_t i = 0; i <= script.size(); ++i) {
    bool at_end = i == script.size();
    char c = at_end ? ';' : script[i];
    if (inside != 0 && !at_end) {
      if (c == inside) inside = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      inside = c;
    } else if (c == '[') {
      inside = ']';
    } else if (c == '#') {
      inside = '#';
    } else if (c == ';') {
      std::string_view piece = Trim(script.substr(start, i - start));
      if (!piece.empty()) statements.emplace_back(piece);
      start = i + 1;
    }
  }
  return statements;
}

}  // namespace act::sql
