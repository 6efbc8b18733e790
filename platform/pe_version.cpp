#include "platform/pe_version.h"

#include <optional>
#include <vector>

namespace act {
namespace {

constexpr uint32_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;

// Little-endian reads that refuse to leave the image.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::optional<uint16_t> U16(uint64_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 2) return std::nullopt;
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) return std::nullopt;
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }
  size_t size() const { return bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
};

struct Section {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_size;
  uint32_t raw_offset;
};

class PeImage {
 public:
  explicit PeImage(std::span<const uint8_t> bytes) : in_(bytes) {}

  // Reads the headers; false when this is no PE image we can follow.
  bool Load() {
    if (in_.U16(0) != 0x5A4D) return false;  // "MZ"
    auto pe = in_.U32(0x3C);
    if (!pe || in_.U32(*pe) != 0x00004550) return false;  // "PE\0\0"
    uint64_t coff = uint64_t{*pe} + 4;
    auto section_count = in_.U16(coff + 2);
    auto optional_size = in_.U16(coff + 16);
    if (!section_count || !optional_size) return false;
    uint64_t optional = coff + 20;
    auto magic = in_.U16(optional);
    uint64_t directories_at;
    if (magic == 0x10B) {
      directories_at = 96;  // PE32
    } else if (magic == 0x20B) {
      directories_at = 112;  // PE32+
    } else {
      return false;
    }
    auto directory_count = in_.U32(optional + directories_at - 4);
    if (!directory_count || *directory_count < 3) return false;
    if (directories_at + 3 * 8 > *optional_size) return false;
    auto resource_rva = in_.U32(optional + directories_at + 2 * 8);
    if (!resource_rva || *resource_rva == 0) return false;
    resource_rva_ = *resource_rva;

    uint64_t table = optional + *optional_size;
    for (uint32_t k = 0; k < *section_count; ++k) {
      uint64_t at = table + uint64_t{k} * 40;
      auto vsize = in_.U32(at + 8), va = in_.U32(at + 12), raw_size = in_.U32(at + 16),
           raw_offset = in_.U32(at + 20);
      if (!vsize || !va || !raw_size || !raw_offset) return false;
      sections_.push_back({*va, *vsize, *raw_size, *raw_offset});
      if (sections_.size() > 96) break;  // the format allows no more
    }
    return true;
  }

  // The file offset of an address in the loaded image, if the file holds it.
  std::optional<uint64_t> FileOffset(uint64_t rva) const {
    for (const Section& s : sections_) {
      uint64_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
      if (rva >= s.virtual_address && rva < s.virtual_address + span) {
        uint64_t delta = rva - s.virtual_address;
        if (delta >= s.raw_size) return std::nullopt;
        return uint64_t{s.raw_offset} + delta;
      }
    }
    return std::nullopt;
  }

  // Follows the resource tree type -> name -> language down to the first
  // version record; returns its file offset and size.
  std::optional<std::pair<uint64_t, uint32_t>> FindVersionResource() const {
    auto root = FileOffset(resource_rva_);
    if (!root) return std::nullopt;
    auto by_type = FindEntry(*root, *root, kResourceTypeVersion);
    if (!by_type || !(*by_type & kSubdirectoryFlag)) return std::nullopt;
    auto by_name = FindEntry(*root, *root + (*by_type & ~kSubdirectoryFlag), std::nullopt);
    if (!by_name || !(*by_name & kSubdirectoryFlag)) return std::nullopt;
    auto by_language = FindEntry(*root, *root + (*by_name & ~kSubdirectoryFlag), std::nullopt);
    if (!by_language || (*by_language & kSubdirectoryFlag)) return std::nullopt;
    uint64_t data_entry = *root + *by_language;
    auto data_rva = in_.U32(data_entry), data_size = in_.U32(data_entry + 4);
    if (!data_rva || !data_size) return std::nullopt;
    auto data = FileOffset(*data_rva);
    if (!data) return std::nullopt;
    return std::make_pair(*data, *data_size);
  }

  const Reader& reader() const { return in_; }

 private:
  // The OffsetToData of the directory's entry with the given numeric id, or
  // of its first entry when id is empty.
  std::optional<uint32_t> FindEntry(uint64_t root, uint64_t directory,
                                    std::optional<uint32_t> id) const {
    auto named = in_.U16(directory + 12), numbered = in_.U16(directory + 14);
    if (!named || !numbered) return std::nullopt;
    uint32_t count = uint32_t{*named} + *numbered;
    for (uint32_t k = 0; k < count; ++k) {
      uint64_t entry = directory + 16 + uint64_t{k} * 8;
      auto name = in_.U32(entry), offset = in_.U32(entry + 4);
      if (!name || !offset) return std::nullopt;
      if (!id || *name == *id) return *offset;
    }
    return std::nullopt;
  }

  Reader in_;
  uint32_t resource_rva_ = 0;
  std::vector<Section> sections_;
};

std::string Join(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

}  // namespace

std::string ReadPeFileVersion(std::span<const uint8_t> image) {
  PeImage pe(image);
  if (!pe.Load()) return "";
  auto resource = pe.FindVersionResource();
  if (!resource) return "";
  auto [at, size] = *resource;
  const Reader& in = pe.reader();
  // VS_VERSIONINFO: wLength, wValueLength, wType, the key
  // L"VS_VERSION_INFO" with its NUL, padding to 32 bits, VS_FIXEDFILEINFO.
  auto value_length = in.U16(at + 2);
  if (!value_length || *value_length < 52 || size < 6) return "";
  uint64_t end = at + size;
  uint64_t key = at + 6;
  while (true) {
    auto unit = in.U16(key);
    if (!unit || key + 2 > end) return "";
    key += 2;
    if (*unit == 0) break;
  }
  uint64_t fixed = at + ((key - at + 3) & ~uint64_t{3});
  if (fixed + 52 > end) return "";
  auto signature = in.U32(fixed), ms = in.U32(fixed + 8), ls = in.U32(fixed + 12);
  if (!signature || !ms || !ls || *signature != kFixedFileInfoSignature) return "";
  return Join(*ms, *ls);
}

}  // namespace act
