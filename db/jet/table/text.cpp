#include "db/jet/table/text.h"

#include <cstring>
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

void AppendCp1252AsUtf8(std::span<const uint8_t> bytes, std::string& out) {
  act::AppendCp1252AsUtf8(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), out);
}

std::string Cp1252ToUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  AppendCp1252AsUtf8(bytes, out);
  return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out) {
  // Unlike the platform's conversion (which writes '?'), a character without
  // a byte must not turn into a different text here: it would compare equal
  // to a real '?'.
  out.resize(utf8.size());
  char* to = out.data();
  for (size_t i = 0; i < utf8.size();) {
    if (utf8.size() - i >= 8 && EightAscii(utf8.data() + i)) {
      std::memcpy(to, utf8.data() + i, 8);
      to += 8;
      i += 8;
      continue;
    }
    if (uint8_t(utf8[i]) < 0x80) {
      *to++ = utf8[i++];
      continue;
    }
    uint32_t cp;
    if (!NextCodePoint(utf8, i, cp)) return false;
    int byte = act::UnicodeToCp1252(char32_t(cp));
    if (byte < 0) return false;
    *to++ = char(byte);
  }
  out.resize(size_t(to - out.data()));
  return true;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  if (!Utf8ToCp1252(utf8, out)) return std::nullopt;
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
