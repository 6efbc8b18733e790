#include "db/jet/table/tdef_patch.h"

#include "db/errors.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

// The page and in-page offset of definition byte `offset`.
std::pair<uint32_t, size_t> Locate(Database& db, const TableDefinition& table, size_t offset) {
  const size_t page_size = db.pager().page_size();
  if (offset < page_size) return {table.pages.at(0), offset};
  size_t rest = offset - page_size;
  size_t index = 1 + rest / (page_size - 8);
  if (index >= table.pages.size()) {
    throw PageFailure(db.path(), table.page,
                      "definition offset " + std::to_string(offset) + " past its last page");
  }
  return {table.pages[index], 8 + rest % (page_size - 8)};
}

}  // namespace

uint32_t ReadDefinitionU32(Database& db, const TableDefinition& table, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    auto [page, at] = Locate(db, table, offset + i);
    value |= uint32_t(db.pager().Get(page)->U8(at)) << (8 * i);
  }
  return value;
}

void WriteDefinitionU32(Database& db, const TableDefinition& table, size_t offset,
                        uint32_t value) {
  // A field may straddle two TDEF pages; write each page once.
  for (int i = 0; i < 4;) {
    auto [page, at] = Locate(db, table, offset + i);
    std::vector<uint8_t> bytes = db.pager().Get(page)->bytes();
    while (i < 4) {
      auto [next_page, next_at] = Locate(db, table, offset + i);
      if (next_page != page) break;
      bytes[next_at] = uint8_t(value >> (8 * i));
      ++i;
    }
    db.pager().Write(page, std::move(bytes), kWriteDefinitions);
  }
}

IndexState ReadIndexState(Database& db, const TableDefinition& table, const RealIndex& index) {
  const Format& f = db.format();
  IndexState s;
  s.root = ReadDefinitionU32(db, table, index.descriptor_offset + f.real_index_root);
  size_t counters = f.tdef_index_counters + index.number * f.tdef_index_counter_size;
  s.counter_a = ReadDefinitionU32(db, table, counters);
  s.counter_b = ReadDefinitionU32(db, table, counters + 4);
  return s;
}

void WriteIndexRoot(Database& db, const TableDefinition& table, const RealIndex& index,
                    uint32_t root) {
  WriteDefinitionU32(db, table, index.descriptor_offset + db.format().real_index_root, root);
}

void WriteIndexCounterB(Database& db, const TableDefinition& table, const RealIndex& index,
                        uint32_t counter_b) {
  const Format& f = db.format();
  WriteDefinitionU32(db, table, f.tdef_index_counters + index.number * f.tdef_index_counter_size + 4,
                     counter_b);
}

}  // namespace act::db::jet
