#include "db/jet/write/tdef_writer.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/file/page.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/table/text.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr size_t kIndexColumnSlots = 10;
constexpr uint8_t kPrimaryKind = 1;

}  // namespace

std::optional<std::vector<uint8_t>> EncodeName(std::string_view utf8) {
  auto name = Utf8ToCp1252(utf8);
  if (!name || name->size() > 64) return std::nullopt;
  std::vector<uint8_t> bytes = {uint8_t(name->size())};
  bytes.insert(bytes.end(), name->begin(), name->end());
  return bytes;
}

std::vector<uint8_t> EncodeRealIndex(const Format& f, const RealIndex& index) {
  std::vector<uint8_t> real(f.real_index_size, 0);
  for (size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
    uint8_t* s = &real[f.real_index_slots + 3 * slot];
    if (slot < index.columns.size()) {
      StoreU16(s, index.columns[slot].column_number);
      s[2] = index.columns[slot].ascending ? 0x01 : 0x00;
    } else {
      s[0] = s[1] = 0xFF;
    }
  }
  StoreU32(&real[f.real_index_map], index.map.word());
  StoreU32(&real[f.real_index_root], index.root);
  real[f.real_index_flags] = index.flags;
  return real;
}

std::vector<uint8_t> EncodeLogicalIndex(uint32_t number, uint32_t real_index, bool primary) {
  std::vector<uint8_t> logical;
  AppendU32(logical, number);
  AppendU32(logical, real_index);
  logical.push_back(0);            // no relationship
  AppendU32(logical, 0xFFFFFFFF);  // related index: none
  AppendU32(logical, 0);           // related table: none
  logical.push_back(0x04);         // cascade bytes as Access writes them outside relationships
  logical.push_back(0x04);
  logical.push_back(primary ? kPrimaryKind : 0);
  return logical;
}

std::vector<uint8_t> LoadTableDefinition(Database& db, const TableDefinition& table) {
  std::vector<uint8_t> out;
  for (uint32_t number : table.pages) {
    PageRef page = db.pager().Get(number);
    size_t from = out.empty() ? 0 : 8;
    out.insert(out.end(), page->bytes().begin() + from, page->bytes().end());
  }
  if (table.definition_length > out.size()) {
    throw PageFailure(db.path(), table.page, "definition longer than its pages");
  }
  out.resize(table.definition_length);
  return out;
}

void StoreTableDefinition(Database& db, PageAllocator& allocator, const TableDefinition& table,
                          std::vector<uint8_t> definition) {
  const size_t page_size = db.pager().page_size();
  std::vector<uint32_t> pages = table.pages;
  size_t needed = 1;
  if (definition.size() > page_size) {
    needed += (definition.size() - page_size + (page_size - 8) - 1) / (page_size - 8);
  }
  while (pages.size() < needed) pages.push_back(allocator.AllocateUnownedPage());
  for (size_t i = needed; i < pages.size(); ++i) allocator.FreePage(pages[i]);
  pages.resize(needed);
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::vector<uint8_t> image(page_size, 0);
    size_t from = i == 0 ? 0 : 8;
    size_t n = std::min(page_size - from, definition.size() - at);
    std::copy(definition.begin() + at, definition.begin() + at + n, image.begin() + from);
    at += n;
    if (i > 0) {
      std::copy(definition.begin(), definition.begin() + 4, image.begin());  // 02 01 'VC'
    }
    StoreU32(&image[4], i + 1 < pages.size() ? pages[i + 1] : 0);
    db.pager().Write(pages[i], std::move(image), kWriteDefinitions);
  }
}

MapRef AddMapRow(Database& db, PageAllocator& allocator, const TableDefinition& table) {
  const Format& f = db.format();
  std::vector<uint8_t> row(5 + f.inline_map_bytes, 0);  // inline, first page 0, empty
  uint32_t page = table.owned_map.page;
  std::vector<uint8_t> image;
  if (page != 0) image = db.pager().Get(page)->bytes();
  if (page == 0 || !DataPageFits(f, image, row.size())) {
    page = allocator.AllocateUnownedPage();
    image = NewDataPage(f, 0);
  }
  unsigned number = AppendDataRow(f, image, row);
  db.pager().Write(page, std::move(image), kWriteMaps);
  return {uint8_t(number), page};
}

}  // namespace act::db::jet
