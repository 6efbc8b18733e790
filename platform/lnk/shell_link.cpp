// Layout of the format: Microsoft's published [MS-SHLLINK] document. A link is a
// fixed 76-byte header, then, as its flags say, an item id list, a LinkInfo
// structure, the string data and the extra data blocks.
#include "platform/lnk/shell_link.h"

#include <cstring>

#include "platform/error.h"
#include "platform/cp1252.h"

namespace act::lnk {
namespace {

constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}: "My Computer", the root of the
// id lists of files on drives.
constexpr uint8_t kMyComputerClsid[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                          0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

enum LinkFlag : uint32_t {
  kHasLinkTargetIdList = 0x01,
  kHasLinkInfo = 0x02,
  kHasName = 0x04,
  kHasRelativePath = 0x08,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
};

enum LinkInfoFlag : uint32_t {
  kVolumeIdAndLocalBasePath = 0x01,
  kCommonNetworkRelativeLinkAndPathSuffix = 0x02,
};

std::string Ansi(const uint8_t* bytes, size_t n) {
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), n));
}

std::string Utf16Le(const uint8_t* bytes, size_t units) {
  std::u16string text(units, u'\0');
  for (size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return Utf16ToUtf8(text);
}

// A bounds-checked view of a range of the file. Every read that would leave
// the range throws, naming what was being read.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size, const std::string& path)
      : data_(data), size_(size), path_(path) {}

  size_t size() const { return size_; }

  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(kErrBadFileNameOrNumber, "Bad file name or number",
                "not a valid shortcut (" + what + "): " + path_);
  }

  void Need(size_t offset, size_t n, const char* what) const {
    if (offset > size_ || n > size_ - offset) Fail(std::string("truncated ") + what);
  }
  uint16_t U16(size_t offset, const char* what) const {
    Need(offset, 2, what);
    return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  uint32_t U32(size_t offset, const char* what) const {
    Need(offset, 4, what);
    return static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
           (static_cast<uint32_t>(data_[offset + 2]) << 16) |
           (static_cast<uint32_t>(data_[offset + 3]) << 24);
  }
  const uint8_t* At(size_t offset) const { return data_ + offset; }

  Bytes Sub(size_t offset, size_t n, const char* what) const {
    Need(offset, n, what);
    return Bytes(data_ + offset, n, path_);
  }

  // A string ended by a code 0 within the range, ANSI (Windows-1252).
  std::string AnsiZ(size_t offset, const char* what) const {
    Need(offset, 0, what);
    const void* end = std::memchr(data_ + offset, 0, size_ - offset);
    if (!end) Fail(std::string("unterminated ") + what);
    size_t n = static_cast<const uint8_t*>(end) - (data_ + offset);
    return Ansi(data_ + offset, n);
  }
  // A UTF-16LE string ended by a code unit 0 within the range.
  std::string UnicodeZ(size_t offset, const char* what) const {
    Need(offset, 0, what);
    size_t units = 0;
    for (;; ++units) {
      if (U16(offset + 2 * units, what) == 0) break;
    }
    return Utf16Le(data_ + offset, units);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  const std::string& path_;
};

bool SameGuid(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 16) == 0; }

// The path that an id list spells, for the lists of files and folders on
// drives that the shell writes: My Computer, a drive ("C:\"), then one item
// per path component. Items of other kinds (network places, control panel,
// ...) have no file-system path: the result is then empty, as GetPath's.
std::string IdListPath(const Bytes& list) {
  std::string path;
  size_t offset = 0;
  bool first = true;
  while (true) {
    uint16_t item_size = list.U16(offset, "item id list");
    if (item_size == 0) break;
    if (item_size < 3) list.Fail("item id of size " + std::to_string(item_size));
    Bytes item = list.Sub(offset, item_size, "item id");
    offset += item_size;
    uint8_t type = *item.At(2);
    if (first) {
      first = false;
      if (type == 0x1F && item.size() >= 20 && SameGuid(item.At(4), kMyComputerClsid)) continue;
      return "";
    }
    if ((type & 0x70) == 0x20) {  // a drive: its root, e.g. "C:\"
      if (!path.empty()) return "";
      path = item.AnsiZ(3, "drive item");
    } else if ((type & 0x70) == 0x30) {  // a file or folder
      if (path.empty()) return "";
      bool unicode = (type & 0x04) != 0;
      std::string name = unicode ? item.UnicodeZ(14, "file item") : item.AnsiZ(14, "file item");
      if (path.back() != '\\') path += '\\';
      path += name;
    } else {
      return "";
    }
  }
  return path;
}

void ReadLinkInfo(const Bytes& info, ShellLink& link) {
  uint32_t header_size = info.U32(4, "LinkInfo header");
  uint32_t flags = info.U32(8, "LinkInfo header");
  if (header_size < 0x1C) info.Fail("LinkInfo header size " + std::to_string(header_size));
  info.Need(0, header_size, "LinkInfo header");
  bool has_unicode = header_size >= 0x24;

  if (flags & kVolumeIdAndLocalBasePath) {
    uint32_t unicode_offset = has_unicode ? info.U32(0x1C, "LinkInfo header") : 0;
    link.local_base_path = unicode_offset ? info.UnicodeZ(unicode_offset, "LocalBasePathUnicode")
                                          : info.AnsiZ(info.U32(0x10, "LinkInfo header"),
                                                       "LocalBasePath");
  }
  if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    uint32_t net_offset = info.U32(0x14, "LinkInfo header");
    uint32_t net_size = info.U32(net_offset, "CommonNetworkRelativeLink");
    Bytes net = info.Sub(net_offset, net_size, "CommonNetworkRelativeLink");
    uint32_t name_offset = net.U32(8, "CommonNetworkRelativeLink");
    uint32_t name_offset_unicode = name_offset > 0x14 ? net.U32(0x14, "CommonNetworkRelativeLink") : 0;
    link.network_share = name_offset_unicode ? net.UnicodeZ(name_offset_unicode, "NetNameUnicode")
                                             : net.AnsiZ(name_offset, "NetName");
  }
  uint32_t suffix_unicode = has_unicode ? info.U32(0x20, "LinkInfo header") : 0;
  uint32_t suffix = info.U32(0x18, "LinkInfo header");
  if (suffix_unicode) {
    link.common_path_suffix = info.UnicodeZ(suffix_unicode, "CommonPathSuffixUnicode");
  } else if (suffix) {
    link.common_path_suffix = info.AnsiZ(suffix, "CommonPathSuffix");
  }
}

// One StringData entry: a count of characters, then the characters.
std::string ReadString(const Bytes& file, size_t& offset, bool unicode, const char* what) {
  uint16_t count = file.U16(offset, what);
  size_t n = unicode ? 2 * size_t{count} : count;
  file.Need(offset + 2, n, what);
  std::string text = unicode ? Utf16Le(file.At(offset + 2), count) : Ansi(file.At(offset + 2), count);
  offset += 2 + n;
  return text;
}

}  // namespace

ShellLink ParseShellLink(const std::vector<uint8_t>& data, const std::string& path) {
  Bytes file(data.data(), data.size(), path);
  if (file.U32(0, "header") != kHeaderSize) file.Fail("bad header size");
  file.Need(0, kHeaderSize, "header");
  if (!SameGuid(file.At(4), kLinkClsid)) file.Fail("bad class id");

  ShellLink link;
  link.flags = file.U32(0x14, "header");
  size_t offset = kHeaderSize;

  if (link.flags & kHasLinkTargetIdList) {
    uint16_t list_size = file.U16(offset, "LinkTargetIDList");
    link.id_list_path = IdListPath(file.Sub(offset + 2, list_size, "LinkTargetIDList"));
    offset += 2 + list_size;
  }
  if (link.flags & kHasLinkInfo) {
    uint32_t info_size = file.U32(offset, "LinkInfo");
    if (info_size < 0x1C) file.Fail("LinkInfo size " + std::to_string(info_size));
    ReadLinkInfo(file.Sub(offset, info_size, "LinkInfo"), link);
    offset += info_size;
  }
  bool unicode = (link.flags & kIsUnicode) != 0;
  if (link.flags & kHasName) ReadString(file, offset, unicode, "NAME_STRING");
  if (link.flags & kHasRelativePath)
    link.relative_path = ReadString(file, offset, unicode, "RELATIVE_PATH");
  if (link.flags & kHasWorkingDir)
    link.working_dir = ReadString(file, offset, unicode, "WORKING_DIR");
  if (link.flags & kHasArguments)
    link.arguments = ReadString(file, offset, unicode, "COMMAND_LINE_ARGUMENTS");
  if (link.flags & kHasIconLocation) ReadString(file, offset, unicode, "ICON_LOCATION");
  // The extra data blocks that follow add nothing to the target path.
  return link;
}

std::string TargetPath(const ShellLink& link) {
  if (!link.local_base_path.empty()) return link.local_base_path + link.common_path_suffix;
  if (!link.network_share.empty()) {
    if (link.common_path_suffix.empty()) return link.network_share;
    return link.network_share + "\\" + link.common_path_suffix;
  }
  return link.id_list_path;
}

}  // namespace act::lnk
