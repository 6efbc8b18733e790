#include "db/jet/write/empty_database.h"

#include <set>

#include "db/errors.h"
#include "db/jet/table/catalog.h"
#include "db/jet/file/data_page.h"
#include "db/jet/table/database.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"

namespace act::db::jet {

namespace {

const uint8_t kTemplate[] = {
#include "empty_jet3_template.inc"
};

// Deletes the rows of `table_name` whose `column` value is in `ids`.
void DeleteRowsWith(Database& db, PageAllocator& allocator, const std::string& table_name,
                    const std::string& column, const std::set<int64_t>& ids) {
  auto table = db.Table(table_name);
  const size_t c = SystemColumn(*table, column);
  std::vector<std::pair<RowPointer, std::vector<Value>>> doomed;
  TableScan scan(db.pager(), db.format(), *table);
  while (scan.Next()) {
    std::vector<Value> row;
    for (size_t i = 0; i < table->columns.size(); ++i) row.push_back(scan.Get(i));
    if (!row[c].is_null() && ids.count(row[c].integer())) doomed.emplace_back(scan.position(), row);
  }
  TableWriter writer(db, allocator, table);
  for (const auto& [where, row] : doomed) writer.Delete(where, row);
  writer.Finish();
}

}  // namespace

std::vector<uint8_t> EmptyJet3Template() { return {kTemplate, kTemplate + sizeof kTemplate}; }

void CreateDatabase(FileSystem& fs, const std::string& path) {
  std::vector<uint8_t> bytes = EmptyJet3Template();
  auto file = fs.CreateRandomAccess(path);
  file->WriteAt(0, bytes.data(), bytes.size());
  file->Sync();
}

std::vector<uint8_t> DeriveEmptyTemplate(std::vector<uint8_t> sample, const std::string& name) {
  auto owned_file = std::make_unique<MemoryFile>(std::move(sample), name);
  MemoryFile* file = owned_file.get();  // owned by the database below
  std::vector<uint8_t> bytes;
  {
    Database db(std::move(owned_file));
    if (!db.format().is_jet3()) throw JetFailure(kJetUnrecognizedFormat, name + ": not Jet 3");
    db.pager().BeginDeferredWrites();
    PageAllocator allocator(db);
    // Tables past the skeleton: their Id (= TDEF page) lies beyond it.
    std::set<int64_t> removed;
    auto objects = db.Table("MSysObjects");
    const size_t id = SystemColumn(*objects, "Id"), type = SystemColumn(*objects, "Type");
    TableScan scan(db.pager(), db.format(), *objects);
    while (scan.Next()) {
      Value v = scan.Get(id), t = scan.Get(type);
      if (t == Value::Integer(kObjectTypeTable) && v.integer() >= kEmptyTemplatePages) {
        removed.insert(v.integer());
      }
    }
    DeleteRowsWith(db, allocator, "MSysObjects", "Id", removed);
    DeleteRowsWith(db, allocator, "MSysACEs", "ObjectId", removed);
    // The engine tables' maps must not name pages past the skeleton.
    for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
      auto table = db.Table(system);
      std::vector<MapRef> maps = {table->owned_map, table->free_map};
      for (const RealIndex& index : table->real_indexes) maps.push_back(index.map);
      for (const LongValueMaps& lv : table->long_value_maps) {
        maps.push_back(lv.owned);
        maps.push_back(lv.free);
      }
      for (MapRef map : maps) {
        if (map.empty()) continue;
        for (uint32_t p : ReadUsageMap(db.pager(), db.format(), map)) {
          if (p >= kEmptyTemplatePages) allocator.maps().Set(map, p, false);
        }
      }
    }
    db.pager().FlushWrites();
    bytes = file->bytes();
  }
  const size_t page_size = 2048;
  bytes.resize(kEmptyTemplatePages * page_size);
  // Global map (page 1, row 0): every page from the skeleton's end on is
  // free (past the end of the file).
  uint8_t* page1 = bytes.data() + page_size;
  size_t start = (page1[10] | (page1[11] << 8)) & kSlotOffsetMask;
  uint32_t first = LoadU32(page1 + start + 1);
  size_t row_end = page_size;  // row 0 ends at the page end
  for (uint64_t k = 0; start + 5 + k / 8 < row_end; ++k) {
    if (first + k >= kEmptyTemplatePages) page1[start + 5 + k / 8] |= uint8_t(1u << (k % 8));
  }
  return bytes;
}

}  // namespace act::db::jet
