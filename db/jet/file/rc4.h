// ARC4 keystream, which Jet uses twice: to mask part of the header page and,
// in databases with a database key, to scramble every other page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace act::db::jet {

// XORs data with the ARC4 keystream for key (in place; applying it twice
// restores the data).
void Rc4Xor(std::span<const uint8_t> key, std::span<uint8_t> data);

}  // namespace act::db::jet
