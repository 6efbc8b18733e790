// Small byte helpers the tests and fuzz targets share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace act::test {

// Two lower-case hex digits a byte, nothing between them.
inline std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += "0123456789abcdef"[c >> 4];
    out += "0123456789abcdef"[c & 15];
  }
  return out;
}

// A fuzz input cut into parts at its zero bytes: the next part, with the
// input moved past it and its zero.
inline std::string NextPart(const uint8_t*& data, size_t& size) {
  std::string part;
  while (size > 0 && *data != 0) {
    part += static_cast<char>(*data++);
    --size;
  }
  if (size > 0) ++data, --size;
  return part;
}

}  // namespace act::test
