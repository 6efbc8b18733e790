#include "db/jet/text.h"

#include <vector>

#include "platform/cp1252.h"

namespace act::db::jet {

namespace {

// Decodes one UTF-8 sequence; returns false on malformed input.
bool NextCodePoint(std::string_view s, size_t& i, uint32_t& cp) {
  uint8_t b = uint8_t(s[i]);
  int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (extra < 0 || s.size() - i <= size_t(extra)) return false;
  cp = extra == 0 ? b : b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    uint8_t c = uint8_t(s[i + k]);
    if ((c & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (c & 0x3F);
  }
  i += extra + 1;
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::span<const uint8_t> bytes) {
  // Most stored text is plain ASCII, which is the same in both encodings.
  bool ascii = true;
  for (uint8_t b : bytes) ascii &= b < 0x80;
  if (ascii) return std::string(bytes.begin(), bytes.end());
  return act::Cp1252ToUtf8(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  // Unlike the platform's conversion (which writes '?'), a character without
  // a byte must not turn into a different text here: it would compare equal
  // to a real '?'.
  std::string out(utf8.size(), '\0');
  size_t n = 0;
  for (size_t i = 0; i < utf8.size();) {
    // ASCII is the same byte in both encodings, and most text is ASCII.
    if (uint8_t(utf8[i]) < 0x80) {
      out[n++] = utf8[i++];
      continue;
    }
    uint32_t cp;
    if (!NextCodePoint(utf8, i, cp)) return std::nullopt;
    int byte = act::UnicodeToCp1252(char32_t(cp));
    if (byte < 0) return std::nullopt;
    out[n++] = char(byte);
  }
  out.resize(n);
  return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t unit = bytes[i] | (bytes[i + 1] << 8);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return out;
}

std::string Jet4TextToUtf8(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return Utf16LeToUtf8(bytes);
  // Compressed: single bytes stand for U+0000-U+00FF; a zero byte switches
  // between that mode and plain UTF-16LE.
  std::vector<uint8_t> units;
  units.reserve(bytes.size() * 2);
  bool compressed = true;
  for (size_t i = 2; i < bytes.size();) {
    if (bytes[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      units.push_back(bytes[i++]);
      units.push_back(0);
    } else if (i + 1 < bytes.size()) {
      units.push_back(bytes[i]);
      units.push_back(bytes[i + 1]);
      i += 2;
    } else {
      break;
    }
  }
  return Utf16LeToUtf8(units);
}

}  // namespace act::db::jet
