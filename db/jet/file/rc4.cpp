#include "db/jet/file/rc4.h"

#include <array>
#include <utility>

namespace act::db::jet {

void Rc4Xor(std::span<const uint8_t> key, std::span<uint8_t> data) {
  std::array<uint8_t, 256> s;
  for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
  if (!key.empty()) {
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
      j = uint8_t(j + s[i] + key[i % key.size()]);
      std::swap(s[i], s[j]);
    }
  }
  uint8_t i = 0, j = 0;
  for (uint8_t& b : data) {
    i = uint8_t(i + 1);
    j = uint8_t(j + s[i]);
    std::swap(s[i], s[j]);
    b ^= s[uint8_t(s[i] + s[j])];
  }
}

}  // namespace act::db::jet
