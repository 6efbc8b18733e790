#include "db/jet/index_creation.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/data_page_writer.h"
#include "db/jet/index_builder.h"
#include "db/jet/index_key.h"
#include "db/jet/index_page_source.h"
#include "db/jet/table_scan.h"
#include "db/jet/text.h"
#include "db/jet/write_order.h"

namespace act::db::jet {

namespace {

constexpr uint8_t kPrimaryKind = 1;
constexpr int kMaxIndexColumns = 10;

void AppendU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A usage-map row for the new index: on the page that holds the table's
// other maps when it has room, else on a new map page.
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

}  // namespace

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

void CreateIndex(Database& db, PageAllocator& allocator, std::string_view table_name,
                 const IndexRequest& request) {
  const Format& f = db.format();
  if (!f.is_jet3()) {
    throw JetFailure(kJetOperationNotSupported, db.path() + ": CREATE INDEX on a Jet 4 file");
  }
  auto table = db.Table(table_name);
  const std::string where = db.path() + ": table '" + std::string(table_name) + "'";
  for (const LogicalIndex& logical : table->logical_indexes) {
    if (SameName(logical.name, request.name)) {
      throw JetFailure(kJetIndexNameExists,
                       where + " already has an index named '" + request.name + "'");
    }
    if (request.primary && logical.kind == kPrimaryKind) {
      throw JetFailure(kJetPrimaryKeyExists, where + " already has a primary key");
    }
  }
  if (request.columns.empty() || request.columns.size() > kMaxIndexColumns) {
    throw JetFailure(kJetOperationNotSupported, where + ": an index takes 1 to 10 columns");
  }
  RealIndex index;
  for (const IndexRequest::Column& c : request.columns) {
    const ColumnDef* column = table->FindColumn(c.name);
    if (!column) throw JetFailure(kJetItemNotFound, where + " has no field '" + c.name + "'");
    index.columns.push_back({column->number, !c.descending});
  }
  if (request.unique || request.primary) index.flags |= kIndexUnique;
  if (request.ignore_null) index.flags |= kIndexIgnoreNulls;
  if (request.primary || request.disallow_null) index.flags |= kIndexRequired;

  // An existing real index with the same columns and flags serves as well.
  const RealIndex* shared = nullptr;
  for (const RealIndex& r : table->real_indexes) {
    bool same = r.flags == index.flags && r.columns.size() == index.columns.size();
    for (size_t i = 0; same && i < r.columns.size(); ++i) {
      same = r.columns[i].column_number == index.columns[i].column_number &&
             r.columns[i].ascending == index.columns[i].ascending;
    }
    if (same) shared = &r;
  }

  std::vector<IndexEntry> entries;
  uint32_t distinct = 0;
  if (!shared) {
    // Every row checked before anything is written.
    index.number = uint32_t(table->real_indexes.size());
    TableScan scan(db.pager(), f, *table);
    std::vector<Value> row(table->columns.size());
    while (scan.Next()) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = scan.Get(i);
      if ((index.flags & kIndexRequired) && NullKeyColumns(*table, index, row) > 0) {
        throw JetFailure(kJetIndexNull, where + ", index '" + request.name + "'");
      }
      if ((index.flags & kIndexIgnoreNulls) && NullKeyColumns(*table, index, row) == index.columns.size()) continue;
      entries.push_back({EncodeIndexKey(f, *table, index, row), scan.position(), 0});
      if ((index.flags & kIndexUnique) && NullKeyColumns(*table, index, row) > 0) {
        entries.back().child = 1;  // marks a key with a Null: never a duplicate
      }
    }
    std::sort(entries.begin(), entries.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
    for (size_t i = 0; i < entries.size(); ++i) {
      bool repeat = i > 0 && entries[i].key == entries[i - 1].key;
      if (!repeat) ++distinct;
      if (repeat && (index.flags & kIndexUnique) && entries[i].child == 0 &&
          entries[i - 1].child == 0) {
        throw JetFailure(kJetDuplicateKey, where + ", index '" + request.name + "'");
      }
    }
    for (IndexEntry& e : entries) e.child = 0;
  }

  std::vector<uint8_t> def = LoadTableDefinition(db, *table);
  const uint32_t logical_number = uint32_t(table->logical_indexes.size());
  const uint32_t real_number = shared ? shared->number : index.number;
  // Inserted from the back, so that the offsets in front stay valid.
  auto name = Utf8ToCp1252(request.name);
  if (!name || name->size() > 64) {
    throw JetFailure(kJetOperationNotSupported, where + ": index name '" + request.name + "'");
  }
  std::vector<uint8_t> name_bytes = {uint8_t(name->size())};
  name_bytes.insert(name_bytes.end(), name->begin(), name->end());
  def.insert(def.begin() + table->long_value_maps_offset, name_bytes.begin(), name_bytes.end());

  std::vector<uint8_t> logical;
  AppendU32(logical, logical_number);
  AppendU32(logical, real_number);
  logical.push_back(0);            // no relationship
  AppendU32(logical, 0xFFFFFFFF);  // related index: none
  AppendU32(logical, 0);           // related table: none
  logical.push_back(0x04);         // cascade bytes as Access writes them outside relationships
  logical.push_back(0x04);
  logical.push_back(request.primary ? kPrimaryKind : 0);
  def.insert(def.begin() + table->logical_names_offset, logical.begin(), logical.end());

  if (!shared) {
    TableDefinition grown = *table;
    index.map = AddMapRow(db, allocator, *table);
    grown.real_indexes.push_back(index);
    IndexPageSource pages = IndexPagesOf(db, grown, grown.real_indexes.back());
    index.root = BuildIndexTree(db.pager(), f, table->page, entries, pages);

    std::vector<uint8_t> real(f.real_index_size, 0);
    for (int slot = 0; slot < kMaxIndexColumns; ++slot) {
      uint8_t* s = &real[f.real_index_slots + 3 * slot];
      if (slot < int(index.columns.size())) {
        s[0] = uint8_t(index.columns[slot].column_number);
        s[1] = uint8_t(index.columns[slot].column_number >> 8);
        s[2] = index.columns[slot].ascending ? 0x01 : 0x00;
      } else {
        s[0] = s[1] = 0xFF;
      }
    }
    StoreU32(&real[f.real_index_map], uint32_t(index.map.row) | (index.map.page << 8));
    StoreU32(&real[f.real_index_root], index.root);
    real[f.real_index_flags] = index.flags;
    def.insert(def.begin() + table->logical_indexes_offset, real.begin(), real.end());

    // Counters: A = entries built, B = distinct keys.
    std::vector<uint8_t> counters;
    AppendU32(counters, uint32_t(entries.size()));
    AppendU32(counters, distinct);
    def.insert(def.begin() + f.tdef_index_counters + index.number * f.tdef_index_counter_size,
               counters.begin(), counters.end());
    StoreU32(&def[f.tdef_real_indexes], LoadU32(&def[f.tdef_real_indexes]) + 1);
  }
  StoreU32(&def[f.tdef_logical_indexes], LoadU32(&def[f.tdef_logical_indexes]) + 1);
  StoreU32(&def[8], uint32_t(def.size()));
  StoreTableDefinition(db, allocator, *table, std::move(def));
  db.Reload();
}

}  // namespace act::db::jet
