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

// The length of the UTF-8 sequence a lead byte opens; 0 for a byte that
// opens none.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

}  // namespace

std::u16string FoldFileName(const std::string& name) {
  // A host name need not be UTF-8 (names from old FAT disks keep their code
  // page's bytes). Each byte that is not part of a valid sequence stands for
  // itself, as a lone low surrogate (U+DC80..U+DCFF), which no valid name
  // holds and no letter folds to: "Pe\xf3a" and "Pe\xe1a" stay two names.
  std::u16string folded;
  for (size_t i = 0; i < name.size();) {
    const unsigned char lead = static_cast<unsigned char>(name[i]);
    size_t n = SequenceLength(lead);
    std::u16string decoded;
    if (n != 0 && i + n <= name.size()) {
      const std::string_view sequence = std::string_view(name).substr(i, n);
      decoded = Utf8ToUtf16(sequence);
      // Overlong forms, surrogates and broken continuations decode to
      // U+FFFD; only the real U+FFFD may.
      const bool one = n == 4 ? decoded.size() == 2 && decoded[0] >= 0xD800 && decoded[0] < 0xDC00
                              : decoded.size() == 1;
      if (!one || (decoded == u"\uFFFD" && sequence != "\xEF\xBF\xBD")) decoded.clear();
    }
    if (decoded.empty()) {
      folded += static_cast<char16_t>(0xDC00 + lead);
      ++i;
      continue;
    }
    folded += decoded;
    i += n;
  }
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
