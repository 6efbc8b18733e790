// The format, one key per section:
//
//   [Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1796675865
//   #time=1dd868ad0e332d8
//   "StartUp"="C:\\users\\root\\AppData\\Roaming\\...\\StartUp"
//
// Names and string data are quoted with backslash escapes; characters
// beyond ASCII are written as \x followed by the hex digits of their UTF-16
// code unit.
#include "platform/shell/registry_file.h"

#include <cctype>
#include <cstdint>

#include "platform/cp1252.h"

namespace act {
namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Reads the escaped text that starts after an opening quote at `pos`, up to
// the closing quote; leaves pos after it. Nothing when unterminated.
std::optional<std::string> Unquote(const std::string& line, size_t& pos) {
  std::string out;
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return out;
    if (c != '\\' || pos >= line.size()) {
      out += c;
      continue;
    }
    char e = line[pos++];
    if (e == 'x') {
      uint32_t unit = 0;
      int digits = 0;
      while (digits < 4 && pos < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos]))) {
        char h = static_cast<char>(std::tolower(static_cast<unsigned char>(line[pos++])));
        unit = unit * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
        ++digits;
      }
      out += Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(unit)));
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 'r') {
      out += '\r';
    } else if (e == 't') {
      out += '\t';
    } else if (e == '0') {
      out += '\0';
    } else {
      out += e;  // \\ and \" stand for themselves
    }
  }
  return std::nullopt;
}

// The key name of a section line "[a\\b] 123", unescaped.
std::optional<std::string> SectionKey(const std::string& line) {
  if (line.empty() || line[0] != '[') return std::nullopt;
  std::string key;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == ']') return key;
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    key += line[i];
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindRegistryString(const std::string& text, const std::string& key,
                                              const std::string& name) {
  bool in_key = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    if (!line.empty() && line[0] == '[') {
      auto section = SectionKey(line);
      in_key = section && EqualsNoCase(*section, key);
      continue;
    }
    if (!in_key || line.empty() || line[0] != '"') continue;
    size_t pos = 1;
    auto value_name = Unquote(line, pos);
    if (!value_name || !EqualsNoCase(*value_name, name)) continue;
    if (line.compare(pos, 2, "=\"") != 0) return std::nullopt;  // not REG_SZ
    pos += 2;
    return Unquote(line, pos);
  }
  return std::nullopt;
}

}  // namespace act
