#include "db/jet/write/property_blob_writer.h"

#include <cstdint>

#include "db/jet/file/page.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

constexpr uint16_t kNamesBlock = 0x80;
constexpr uint16_t kColumnBlock = 0x01;
// An entry set by a definition statement (as opposed to a display setting
// of Access); the engine enforces these.
constexpr uint8_t kDefinitionProperty = 0x01;
constexpr uint8_t kBooleanProperty = 0x01;
constexpr uint8_t kTrue = 0x01;  // Access's True in these blobs (AllowZeroLength)

// A block: u32 length (itself included), u16 type, then `body`.
std::string Block(uint16_t type, const std::string& body) {
  std::string b;
  AppendU32(b, uint32_t(6 + body.size()));
  AppendU16(b, type);
  return b + body;
}

}  // namespace

std::string EncodeRequiredProperties(const std::vector<std::string>& columns) {
  if (columns.empty()) return "";
  const std::string property = "Required";
  std::string names;
  AppendU16(names, uint16_t(property.size()));
  names += property;
  std::string blob("KKD\0", 4);
  blob += Block(kNamesBlock, names);
  for (const std::string& column : columns) {
    std::string name = Utf8ToCp1252(column).value_or(column);
    std::string body;
    AppendU32(body, uint32_t(6 + name.size()));  // header: itself, name length, name
    AppendU16(body, uint16_t(name.size()));
    body += name;
    AppendU16(body, 9);  // entry length: 8-byte head + one value byte
    body += char(kDefinitionProperty);
    body += char(kBooleanProperty);
    AppendU16(body, 0);  // "Required", the first name
    AppendU16(body, 1);
    body += char(kTrue);
    blob += Block(kColumnBlock, body);
  }
  return blob;
}

}  // namespace act::db::jet
