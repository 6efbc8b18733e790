#include "db/jet/file/header.h"

#include <cstring>
#include <vector>

#include "db/errors.h"
#include "db/jet/file/rc4.h"

namespace act::db::jet {

namespace {

constexpr size_t kMaskStart = 0x18;
constexpr char kMagic[] = "Standard Jet DB";
// Jet masks part of page 0 with this fixed ARC4 key.
constexpr uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

size_t MaskLength(const Format& format) { return format.is_jet3() ? 126 : 128; }

}  // namespace

void ToggleHeaderMask(const Format& format, uint8_t* page0) {
  Rc4Xor(kHeaderMaskKey, std::span<uint8_t>(page0 + kMaskStart, MaskLength(format)));
}

DatabaseHeader ReadHeader(Pager& pager) {
  // The smallest page size covers every field read here.
  std::vector<uint8_t> bytes = pager.ReadHeaderBytes(2048);
  auto fail = [&](const std::string& what) {
    return PageFailure(pager.path(), 0, what, kJetUnrecognizedFormat);
  };
  if (bytes[0] != 0x00 || bytes[1] != 0x01 || bytes[2] != 0 || bytes[3] != 0 ||
      std::memcmp(bytes.data() + 4, kMagic, sizeof kMagic) != 0) {
    throw fail("no Jet database signature");
  }
  DatabaseHeader header;
  switch (bytes[0x14]) {
    case 0: header.format = &Jet3Format(); break;
    case 1: header.format = &Jet4Format(); break;
    default: throw fail("unsupported Jet version " + std::to_string(bytes[0x14]));
  }
  ToggleHeaderMask(*header.format, bytes.data());
  header.sort_order = LoadU16(bytes.data() + (header.format->is_jet3() ? 0x3A : 0x6E));
  header.code_page = LoadU16(bytes.data() + 0x3C);
  header.database_key = LoadU32(bytes.data() + 0x3E);
  pager.Configure(header.format->page_size, header.database_key);
  if (pager.page_count() < 3) throw fail("the file holds no catalog (" +
                                         std::to_string(pager.page_count()) + " pages)");
  return header;
}

}  // namespace act::db::jet
