// libFuzzer target: a profile file read, one key written, and read back.
// Input: "section \0 key \0 value \0 file bytes". Beyond "no crash", two
// properties must hold:
// - a plain key written is read back as written (cut to the 254 characters
//   a 255-character buffer holds);
// - the saved form is stable: parsing what was saved and saving it again
//   gives the same bytes, so a second write never reshapes a file. Left
//   out are what the Windows profile functions themselves write in a form
//   they read back differently: line breaks (a value read from a file never
//   holds one), blanks around a name or value (written as given, dropped on
//   reading), a key that begins with '[' (read back as a section) or holds
//   an '=' (read back as a shorter key), and a file with a header whose
//   name is empty ("[]"): its section is saved without the header, so it
//   joins the section before it, and the next save can drop lines that the
//   join made redundant (kernel32 under Wine does the same).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/ini_file.h"
#include "tests/support/bytes.h"

namespace {

using act::test::NextPart;

bool StartsWithMark(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
         bytes.starts_with("\xFE\xFF");
}

bool Blank(char16_t c) { return act::IsProfileBlank(c); }

std::u16string Decode(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.starts_with("\xEF\xBB\xBF")) return act::Utf8ToUtf16(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    bool big = bytes[0] == '\xFE';
    std::u16string text;
    for (size_t i = 2; i + 1 < size; i += 2)
      text += static_cast<char16_t>(big ? data[i] << 8 | data[i + 1] : data[i] | data[i + 1] << 8);
    return text;
  }
  return act::Cp1252ToUtf16(bytes);
}

// Whether some line of the file is a section header with an empty name:
// '[', then only blanks up to its last ']'.
bool HasNamelessHeader(std::u16string_view rest) {
  // Lines split as the reader splits them: at LF, or at CR once no LF is
  // left.
  while (!rest.empty()) {
    size_t end = rest.find(u'\n');
    if (end == std::u16string_view::npos) end = rest.find(u'\r');
    std::u16string_view line = rest.substr(0, end);
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    while (!line.empty() && Blank(line.front())) line.remove_prefix(1);
    size_t close = line.rfind(u']');
    if (line.empty() || line.front() != u'[' || close == std::u16string_view::npos) continue;
    bool nameless = true;
    for (size_t i = 1; i < close; ++i) nameless = nameless && Blank(line[i]);
    if (nameless) return true;
  }
  return false;
}

bool Stable(const std::u16string& s) {
  if (!s.empty() && (Blank(s.front()) || Blank(s.back()))) return false;
  return s.find_first_of(u"\r\n") == std::u16string::npos;
}

// Text that a profile line can hold unchanged: no control characters, no
// blanks at either end.
bool Plain(const std::u16string& s) {
  if (s.empty() || Blank(s.front()) || Blank(s.back())) return false;
  for (char16_t c : s)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

bool PlainSection(const std::u16string& s) {
  return Plain(s) && s.find(u']') == std::u16string::npos;
}

bool PlainKey(const std::u16string& s) {
  return Plain(s) && s.find(u'=') == std::u16string::npos && s.front() != u'[';
}

bool PlainValue(const std::u16string& s) {
  if (!Plain(s)) return false;
  // A value in matching quotes reads without them.
  if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front())
    return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string section = act::Cp1252ToUtf16(NextPart(data, size));
  std::u16string key = act::Cp1252ToUtf16(NextPart(data, size));
  std::u16string value = act::Cp1252ToUtf16(NextPart(data, size));
  act::IniFile file = act::IniFile::Parse(std::vector<uint8_t>(data, data + size));
  file.Set(section, key, value);
  std::vector<uint8_t> saved = file.Serialize();

  // A saved file of code-page text that begins with a byte order mark's
  // bytes (its first line "\xFE\xFF..." once blank lines are dropped) is
  // read back as Unicode, by the Windows profile functions too; nothing
  // holds for it.
  if (StartsWithMark(saved.data(), saved.size()) && !StartsWithMark(data, size)) return 0;
  act::IniFile again = act::IniFile::Parse(saved);
  if (PlainSection(section) && PlainKey(key) && PlainValue(value)) {
    std::u16string expected = value.substr(0, 254);
    if (again.Get(section, key, 255) != expected) std::abort();
  }
  if (Stable(section) && Stable(key) && Stable(value) && PlainKey(key) &&
      !HasNamelessHeader(Decode(data, size)) && again.Serialize() != saved)
    std::abort();
  return 0;
}
