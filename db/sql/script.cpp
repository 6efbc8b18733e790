#include "db/sql/script.h"

namespace act::sql {

static std::string_view Trim(std::string_view s) {
  const char* kSpace = " \t\r\n\f\v";
  std::size_t begin = s.find_first_not_of(kSpace);
  if (begin == std::string_view::npos) return {};
  std::size_t end = s.find_last_not_of(kSpace);
  return s.substr(begin, end - begin + 1);
}

std::vector<std::string_view> SplitStatements(std::string_view script) {
  std::vector<std::string_view> statements;
  std::size_t start = 0;
  auto cut = [&](std::size_t end) {
    std::string_view piece = Trim(script.substr(start, end - start));
    if (!piece.empty()) statements.push_back(piece);
    start = end + 1;
  };
  for (std::size_t i = 0; i < script.size(); ++i) {
    const char c = script[i];
    // A string, name or date is passed over whole, to the character that
    // closes it. A doubled quote needs no special case: it closes and at
    // once reopens.
    const char closing = c == '\'' || c == '"' ? c : c == '[' ? ']' : c == '#' ? '#' : 0;
    if (closing) {
      i = script.find(closing, i + 1);
      if (i == std::string_view::npos) break;
    } else if (c == ';') {
      cut(i);
    }
  }
  cut(script.size());
  return statements;
}

}  // namespace act::sql
