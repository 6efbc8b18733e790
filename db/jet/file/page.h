// One page of a database file, as the pager hands it out.
//
// Every read goes through the checked accessors below, which throw a
// "file: page n: ..." error instead of reading outside the page. The format
// is full of offsets and lengths taken from the file itself; checking at
// this one place is what keeps a damaged file from crashing the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace act::db::jet {

class Page {
 public:
  Page(uint32_t number, std::vector<uint8_t> bytes, std::shared_ptr<const std::string> file)
      : number_(number), bytes_(std::move(bytes)), file_(std::move(file)) {}

  uint32_t number() const { return number_; }
  size_t size() const { return bytes_.size(); }
  const std::string& file() const { return *file_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

  // Little-endian integers (the format's default).
  uint8_t U8(size_t offset) const { return *Check(offset, 1); }
  uint16_t U16(size_t offset) const;
  uint32_t U24(size_t offset) const;
  uint32_t U32(size_t offset) const;
  // n bytes at offset.
  std::span<const uint8_t> Bytes(size_t offset, size_t n) const {
    return {Check(offset, n), n};
  }

  // Throws "<file>: page <n>: <what>" (Jet error 3049).
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  const uint8_t* Check(size_t offset, size_t n) const;

  uint32_t number_;
  friend class Pager;  // changes pages waiting for a flush in place
  std::vector<uint8_t> bytes_;
  std::shared_ptr<const std::string> file_;
};

using PageRef = std::shared_ptr<const Page>;

// Integer readers over bytes already checked by the caller.
inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadU24(const uint8_t* p) { return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16); }
inline uint32_t LoadU32(const uint8_t* p) { return LoadU24(p) | (uint32_t(p[3]) << 24); }
inline uint32_t LoadU24BE(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (p[1] << 8) | p[2]; }
inline uint32_t LoadU32BE(const uint8_t* p) { return (uint32_t(p[0]) << 24) | LoadU24BE(p + 1); }
inline uint64_t LoadU64(const uint8_t* p) { return LoadU32(p) | (uint64_t(LoadU32(p + 4)) << 32); }

// Their writing counterparts, for page images being built.
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// And their appending counterparts, for definitions and property blobs
// built front to back (in a std::vector<uint8_t> or a std::string).
template <class Bytes>
void AppendU16(Bytes& bytes, uint16_t v) {
  const size_t at = bytes.size();
  bytes.resize(at + 2);
  StoreU16(reinterpret_cast<uint8_t*>(&bytes[at]), v);
}
template <class Bytes>
void AppendU32(Bytes& bytes, uint32_t v) {
  const size_t at = bytes.size();
  bytes.resize(at + 4);
  StoreU32(reinterpret_cast<uint8_t*>(&bytes[at]), v);
}

}  // namespace act::db::jet
