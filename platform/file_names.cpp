#include "platform/file_names.h"

#include "platform/cp1252.h"

namespace act {
namespace {

char16_t FoldNameChar(char16_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x0160 || c == 0x0152 || c == 0x017D) return c + 1;
  if (c == 0x0178) return 0x00FF;
  return c;
}

}  // namespace

std::u16string FoldFileName(const std::string& name) {
  std::u16string folded = Utf8ToUtf16(name);
  for (char16_t& c : folded) c = FoldNameChar(c);
  return folded;
}

std::vector<std::string> PathNames(std::string_view path) {
  std::vector<std::string> names;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && IsPathSeparator(path[i])) ++i;
    const size_t start = i;
    while (i < path.size() && !IsPathSeparator(path[i])) ++i;
    const std::string_view name = path.substr(start, i - start);
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.emplace_back(name);
  }
  return names;
}

}  // namespace act
