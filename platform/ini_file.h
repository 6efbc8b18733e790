// A profile (INI) file held in memory, read and changed the way the Windows
// profile functions (GetPrivateProfileString / WritePrivateProfileString)
// read and change it, so that the posix build sees every file exactly as the
// Windows build does.
//
// The rules, as kernel32 applies them:
// - a line whose first non-blank character is '[' and that holds a ']' is a
//   section header; its name is the text between '[' and the last ']', less
//   blanks around it; anything after that ']' is ignored;
// - any other non-blank line is a key: the name is the text before the first
//   '=' (blanks around it dropped), the value the text after it (blanks
//   around it dropped); a line without '=' (comments among them) is a key
//   without value, kept as it is;
// - section and key names are matched without regard to ASCII letter case
//   (accented letters must match exactly), blanks around the looked-up names
//   ignored; the first matching section and the first matching key in it win;
// - a value read drops one pair of matching quotes (' or ") around it and is
//   cut to fit the caller's buffer;
// - a write that changes something rewrites the whole file in the normal
//   form: "[name]" headers, "name=value" lines, CRLF line ends, blank lines
//   dropped. A write that changes nothing leaves the file untouched.
//
// Sections and keys are found through an index by folded name, so that
// reading or changing one value costs the same in a file of ten lines as in
// one of ten thousand; only parsing and saving go through the whole file.
//
// Files are Windows-1252 unless they start with a UTF-8 or UTF-16 byte order
// mark, which is kept. A character of such a Unicode file that Windows-1252
// cannot hold reads as '?', where Windows may substitute a look-alike
// ("best fit": Ω reads as O); the product's files are all Windows-1252.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace act {

class IniFile {
 public:
  // A file that does not exist is parsed from no bytes.
  static IniFile Parse(const std::vector<uint8_t>& bytes);

  // GetPrivateProfileString(section, key, "", buffer, buffer_size): the
  // value as the function leaves it in a buffer of buffer_size characters.
  std::u16string Get(const std::u16string& section, const std::u16string& key,
                     size_t buffer_size) const;

  // WritePrivateProfileString(section, key, value): true when the file's
  // contents changed and must be saved.
  bool Set(const std::u16string& section, const std::u16string& key, const std::u16string& value);

  std::vector<uint8_t> Serialize() const;

  // Whether Set(section, key, value) leaves this model exactly as parsing
  // its serialisation would rebuild it, so that a caller keeping the model
  // need not parse what it wrote. Not so for texts with control characters
  // (line breaks), blanks that parsing would trim, or a key that would read
  // back as a header or split at its own '='.
  static bool SetKeepsShape(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value);

 private:
  enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };
  struct Key {
    std::u16string name;
    std::optional<std::u16string> value;  // empty for a line without '='
  };
  // Folded name -> position of the first section or key of that name: the
  // first one is the one the profile functions find.
  using NameIndex = std::unordered_map<std::u16string, size_t>;
  struct Section {
    std::u16string name;  // empty for the lines before the first header
    std::vector<Key> keys;
    NameIndex key_index;
  };

  void AddSection(std::u16string name);
  void AddKey(Section& section, Key key);
  Section* FindSection(std::u16string_view trimmed_name);
  const Key* Find(const std::u16string& section, const std::u16string& key) const;

  Encoding encoding_ = Encoding::kAnsi;
  std::vector<Section> sections_;
  NameIndex section_index_;
};

// The blanks that the profile functions drop around names and values.
bool IsProfileBlank(char16_t c);

}  // namespace act
