#include "platform/cp1252.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace act {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from UTF-8 at text[i], advancing i. Overlong forms,
// surrogates and truncated sequences yield U+FFFD and consume one byte.
char32_t NextUtf8(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + extra >= text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += extra + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one code point from UTF-16 at text[i], advancing i.
char32_t NextUtf16(std::u16string_view text, size_t& i) {
  char16_t unit = text[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
      text[i] <= 0xDFFF) {
    return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return kReplacement;
  return unit;
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int k = 0; k < 32; ++k) {
    if (kHighControls[k] == cp) return 0x80 + k;
  }
  return -1;
}

namespace {

// The UTF-8 form of each Windows-1252 byte (one to three bytes).
struct Utf8Form {
  unsigned char size;
  char bytes[3];
};

const std::array<Utf8Form, 256>& Utf8Forms() {
  static const std::array<Utf8Form, 256> forms = [] {
    std::array<Utf8Form, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
      std::string utf8;
      AppendUtf8(utf8, Cp1252ToUnicode(static_cast<unsigned char>(b)));
      table[b].size = static_cast<unsigned char>(utf8.size());
      for (size_t k = 0; k < utf8.size(); ++k) table[b].bytes[k] = utf8[k];
    }
    return table;
  }();
  return forms;
}

}  // namespace

void AppendCp1252AsUtf8(std::string_view bytes, std::string& out) {
  const std::array<Utf8Form, 256>& forms = Utf8Forms();
  // A byte becomes at most three: room for the worst case of the bytes
  // past ASCII, cut to what was written afterwards.
  size_t high = 0;
  for (char c : bytes) high += static_cast<unsigned char>(c) >> 7;
  const size_t start = out.size();
  out.resize(start + bytes.size() + 2 * high);
  char* to = out.data() + start;
  const char* from = bytes.data();
  const char* end = from + bytes.size();
  while (from < end) {
    if (end - from >= 8 && EightAscii(from)) {
      std::memcpy(to, from, 8);
      to += 8;
      from += 8;
      continue;
    }
    const unsigned char b = static_cast<unsigned char>(*from++);
    if (b < 0x80) {
      *to++ = char(b);
      continue;
    }
    const Utf8Form& form = forms[b];
    to[0] = form.bytes[0];
    to[1] = form.bytes[1];
    to[2] = form.bytes[2];
    to += form.size;
  }
  out.resize(size_t(to - out.data()));
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  AppendCp1252AsUtf8(bytes, out);
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    int byte = UnicodeToCp1252(NextUtf8(utf8, i));
    out += static_cast<char>(byte < 0 ? '?' : byte);
  }
  return out;
}

std::u16string Cp1252ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += Cp1252ToUnicode(static_cast<unsigned char>(c));
  return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
  // One byte per character, never more than the code units: filled in
  // place, as a whole profile file goes through here on every write.
  std::string out(text.size(), '\0');
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    int byte = UnicodeToCp1252(NextUtf16(text, i));
    out[n++] = static_cast<char>(byte < 0 ? '?' : byte);
  }
  out.resize(n);
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = NextUtf8(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf8(out, NextUtf16(text, i));
  return out;
}

}  // namespace act
