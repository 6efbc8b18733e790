#include "db/jet/write/index_creation.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page_source.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/tdef_writer.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr uint8_t kPrimaryKind = 1;
constexpr int kMaxIndexColumns = 10;

// The real index the request asks for (columns and flags), once the table
// can take it: no index of that name yet, no second primary key, 1 to 10
// columns it has.
RealIndex RequestedIndex(const TableDefinition& table, const IndexRequest& request,
                         const std::string& where) {
  for (const LogicalIndex& logical : table.logical_indexes) {
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
    const ColumnDef* column = table.FindColumn(c.name);
    if (!column) throw JetFailure(kJetItemNotFound, where + " has no field '" + c.name + "'");
    index.columns.push_back({column->number, !c.descending});
  }
  if (request.unique || request.primary) index.flags |= kIndexUnique;
  if (request.ignore_null) index.flags |= kIndexIgnoreNulls;
  if (request.primary || request.disallow_null) index.flags |= kIndexRequired;
  return index;
}

// An existing real index with the same columns and flags, which serves as
// well; nullptr when there is none.
const RealIndex* SameRealIndex(const TableDefinition& table, const RealIndex& index) {
  const RealIndex* shared = nullptr;
  for (const RealIndex& r : table.real_indexes) {
    bool same = r.flags == index.flags && r.columns.size() == index.columns.size();
    for (size_t i = 0; same && i < r.columns.size(); ++i) {
      same = r.columns[i].column_number == index.columns[i].column_number &&
             r.columns[i].ascending == index.columns[i].ascending;
    }
    if (same) shared = &r;
  }
  return shared;
}

// The new index's entries over the table's rows, in index order, every row
// checked against the index's rules before anything is written.
struct BuiltEntries {
  std::vector<IndexEntry> entries;
  uint32_t distinct = 0;  // keys
};

BuiltEntries EntriesOf(Database& db, const TableDefinition& table, const RealIndex& index,
                       const std::string& what) {
  BuiltEntries built;
  std::vector<IndexEntry>& entries = built.entries;
  TableScan scan(db.pager(), db.format(), table);
  std::vector<Value> row(table.columns.size());
  while (scan.Next()) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = scan.Get(i);
    if ((index.flags & kIndexRequired) && NullKeyColumns(table, index, row) > 0) {
      throw JetFailure(kJetIndexNull, what);
    }
    if ((index.flags & kIndexIgnoreNulls) &&
        NullKeyColumns(table, index, row) == index.columns.size()) {
      continue;
    }
    entries.push_back({EncodeIndexKey(db.format(), table, index, row), scan.position(), 0});
    if ((index.flags & kIndexUnique) && NullKeyColumns(table, index, row) > 0) {
      entries.back().child = 1;  // marks a key with a Null: never a duplicate
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
  for (size_t i = 0; i < entries.size(); ++i) {
    bool repeat = i > 0 && entries[i].key == entries[i - 1].key;
    if (!repeat) ++built.distinct;
    if (repeat && (index.flags & kIndexUnique) && entries[i].child == 0 &&
        entries[i - 1].child == 0) {
      throw JetFailure(kJetDuplicateKey, what);
    }
  }
  for (IndexEntry& e : entries) e.child = 0;
  return built;
}

// Puts the real index's descriptor and counters into the definition (A =
// entries built, B = distinct keys).
void AddRealIndex(const Format& f, const TableDefinition& table, const RealIndex& index,
                  const BuiltEntries& built, std::vector<uint8_t>& def) {
  const std::vector<uint8_t> real = EncodeRealIndex(f, index);
  def.insert(def.begin() + table.logical_indexes_offset, real.begin(), real.end());
  std::vector<uint8_t> counters;
  AppendU32(counters, uint32_t(built.entries.size()));
  AppendU32(counters, built.distinct);
  def.insert(def.begin() + f.tdef_index_counters + index.number * f.tdef_index_counter_size,
             counters.begin(), counters.end());
  StoreU32(&def[f.tdef_real_indexes], LoadU32(&def[f.tdef_real_indexes]) + 1);
}

}  // namespace

void CreateIndex(Database& db, PageAllocator& allocator, std::string_view table_name,
                 const IndexRequest& request) {
  const Format& f = db.format();
  if (!f.is_jet3()) {
    throw JetFailure(kJetOperationNotSupported, db.path() + ": CREATE INDEX on a Jet 4 file");
  }
  auto table = db.Table(table_name);
  const std::string where = db.path() + ": table '" + std::string(table_name) + "'";
  RealIndex index = RequestedIndex(*table, request, where);
  const RealIndex* shared = SameRealIndex(*table, index);
  BuiltEntries built;
  if (!shared) {
    index.number = uint32_t(table->real_indexes.size());
    built = EntriesOf(db, *table, index, where + ", index '" + request.name + "'");
  }

  std::vector<uint8_t> def = LoadTableDefinition(db, *table);
  // Inserted from the back, so that the offsets in front stay valid.
  auto name = EncodeName(request.name);
  if (!name) {
    throw JetFailure(kJetOperationNotSupported, where + ": index name '" + request.name + "'");
  }
  def.insert(def.begin() + table->long_value_maps_offset, name->begin(), name->end());
  const std::vector<uint8_t> logical =
      EncodeLogicalIndex(uint32_t(table->logical_indexes.size()),
                         shared ? shared->number : index.number, request.primary);
  def.insert(def.begin() + table->logical_names_offset, logical.begin(), logical.end());
  if (!shared) {
    TableDefinition grown = *table;
    index.map = AddMapRow(db, allocator, *table);
    grown.real_indexes.push_back(index);
    IndexPageSource pages = IndexPagesOf(db, grown, grown.real_indexes.back());
    index.root = BuildIndexTree(db.pager(), f, table->page, built.entries, pages);
    AddRealIndex(f, *table, index, built, def);
  }
  StoreU32(&def[f.tdef_logical_indexes], LoadU32(&def[f.tdef_logical_indexes]) + 1);
  StoreU32(&def[8], uint32_t(def.size()));
  StoreTableDefinition(db, allocator, *table, std::move(def));
  db.Reload();
}

}  // namespace act::db::jet
