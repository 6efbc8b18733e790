#include "platform/ini_file.h"

#include "platform/cp1252.h"

namespace act {
namespace {

// kernel32 matches profile names with ASCII case folding only: "Año" and
// "AÑO" are different keys to it, so they are to us.
char16_t FoldCase(char16_t c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

// The key under which a name is indexed: equal for names the profile
// functions take for the same.
std::u16string Folded(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

std::u16string_view TrimLeft(std::u16string_view s) {
  size_t start = 0;
  while (start < s.size() && IsProfileBlank(s[start])) ++start;
  return s.substr(start);
}

std::u16string_view Trim(std::u16string_view s) {
  s = TrimLeft(s);
  size_t end = s.size();
  while (end > 0 && IsProfileBlank(s[end - 1])) --end;
  return s.substr(0, end);
}

std::u16string DecodeUtf16(const std::vector<uint8_t>& bytes, size_t start, bool big_endian) {
  std::u16string text;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    text += big_endian ? static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1])
                       : static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  }
  return text;
}

}  // namespace

bool IsProfileBlank(char16_t c) {
  // ASCII white space, plus ^Z, which old DOS editors left at the end of
  // files. The no-break space (0xA0) is text to kernel32.
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
}

IniFile IniFile::Parse(const std::vector<uint8_t>& bytes) {
  IniFile file;
  std::u16string text;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    file.encoding_ = Encoding::kUtf8;
    text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3,
                                        bytes.size() - 3));
  } else if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    file.encoding_ = Encoding::kUtf16Le;
    text = DecodeUtf16(bytes, 2, false);
  } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    file.encoding_ = Encoding::kUtf16Be;
    text = DecodeUtf16(bytes, 2, true);
  } else {
    text = Cp1252ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  // The lines before the first header form a section named "".
  file.AddSection(u"");
  std::u16string_view rest(text);
  while (!rest.empty()) {
    // Lines end at LF; text with no LF left in it (old Mac files) ends its
    // lines at CR.
    size_t newline = rest.find(u'\n');
    if (newline == std::u16string_view::npos) newline = rest.find(u'\r');
    std::u16string_view line = Trim(rest.substr(0, newline));
    rest = newline == std::u16string_view::npos ? std::u16string_view() : rest.substr(newline + 1);
    if (line.empty()) continue;

    if (line.front() == u'[') {
      size_t close = line.rfind(u']');
      if (close != std::u16string_view::npos) {
        file.AddSection(std::u16string(Trim(line.substr(1, close - 1))));
        continue;
      }
    }
    Key key;
    size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) {
      key.name = std::u16string(line);
    } else {
      key.name = std::u16string(Trim(line.substr(0, equals)));
      key.value = std::u16string(TrimLeft(line.substr(equals + 1)));
    }
    // Runs of lines with no name ("=x") keep only their first line.
    Section& section = file.sections_.back();
    if (key.name.empty() && !section.keys.empty() && section.keys.back().name.empty()) continue;
    file.AddKey(section, std::move(key));
  }
  return file;
}

void IniFile::AddSection(std::u16string name) {
  // A later section of the same name stays in the file but is never found.
  section_index_.emplace(Folded(name), sections_.size());
  sections_.push_back(Section{std::move(name), {}, {}});
}

void IniFile::AddKey(Section& section, Key key) {
  section.key_index.emplace(Folded(key.name), section.keys.size());
  section.keys.push_back(std::move(key));
}

IniFile::Section* IniFile::FindSection(std::u16string_view trimmed_name) {
  auto found = section_index_.find(Folded(trimmed_name));
  return found == section_index_.end() ? nullptr : &sections_[found->second];
}

const IniFile::Key* IniFile::Find(const std::u16string& section, const std::u16string& key) const {
  // The lookup names lose their blanks; the names kept in the file do not,
  // so a section that a write created as "s " is never found as "s".
  auto s = section_index_.find(Folded(Trim(section)));
  if (s == section_index_.end()) return nullptr;
  const Section& found = sections_[s->second];
  auto k = found.key_index.find(Folded(Trim(key)));
  return k == found.key_index.end() ? nullptr : &found.keys[k->second];
}

std::u16string IniFile::Get(const std::u16string& section, const std::u16string& key,
                            size_t buffer_size) const {
  if (buffer_size == 0) return u"";
  const Key* found = Find(section, key);
  if (!found || !found->value) return u"";
  std::u16string_view value = *found->value;
  // One pair of quotes goes, but only when the whole value fits the buffer;
  // a longer quoted value keeps its closing quote past the cut and loses
  // only the opening one.
  bool quoted = false;
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    quoted = true;
    value.remove_prefix(1);
  }
  std::u16string copied(value.substr(0, buffer_size - 1));
  if (quoted && buffer_size >= value.size() && !copied.empty()) copied.pop_back();
  return copied;
}

bool IniFile::Set(const std::u16string& section, const std::u16string& key,
                  const std::u16string& value) {
  std::u16string new_value(TrimLeft(value));
  Key* found = const_cast<Key*>(Find(section, key));
  if (!found) {
    Section* s = FindSection(Trim(section));
    if (!s) {
      // A new section keeps the name as given, less leading blanks.
      AddSection(std::u16string(TrimLeft(section)));
      s = &sections_.back();
    }
    AddKey(*s, Key{std::u16string(TrimLeft(key)), std::nullopt});
    found = &s->keys.back();
  }
  if (found->value == new_value) return false;
  found->value = std::move(new_value);
  return true;
}

bool IniFile::SetKeepsShape(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  auto plain = [](std::u16string_view text) {
    for (char16_t c : text) {
      if (c < 0x20) return false;  // line breaks and the other blanks but ' '
    }
    return text.empty() || text.back() != u' ';
  };
  std::u16string_view name = TrimLeft(key);
  return plain(section) && !TrimLeft(section).empty() && plain(key) && !name.empty() &&
         name.front() != u'[' && name.find(u'=') == std::u16string_view::npos && plain(value);
}

std::vector<uint8_t> IniFile::Serialize() const {
  size_t length = 0;
  for (const Section& s : sections_) {
    length += s.name.size() + 4;
    for (const Key& k : s.keys) length += k.name.size() + (k.value ? k.value->size() + 1 : 0) + 2;
  }
  std::u16string text;
  text.reserve(length);
  for (const Section& s : sections_) {
    if (!s.name.empty()) text.append(u"[").append(s.name).append(u"]\r\n");
    for (const Key& k : s.keys) {
      text += k.name;
      if (k.value) text.append(u"=").append(*k.value);
      text += u"\r\n";
    }
  }
  std::vector<uint8_t> bytes;
  switch (encoding_) {
    case Encoding::kAnsi: {
      std::string ansi = Utf16ToCp1252(text);
      bytes.assign(ansi.begin(), ansi.end());
      break;
    }
    case Encoding::kUtf8: {
      std::string utf8 = Utf16ToUtf8(text);
      bytes = {0xEF, 0xBB, 0xBF};
      bytes.insert(bytes.end(), utf8.begin(), utf8.end());
      break;
    }
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      bool big = encoding_ == Encoding::kUtf16Be;
      bytes = big ? std::vector<uint8_t>{0xFE, 0xFF} : std::vector<uint8_t>{0xFF, 0xFE};
      for (char16_t c : text) {
        uint8_t lo = c & 0xFF, hi = c >> 8;
        bytes.push_back(big ? hi : lo);
        bytes.push_back(big ? lo : hi);
      }
      break;
    }
  }
  return bytes;
}

}  // namespace act
