// The checks a row must pass before it is written: unique and required
// indexes, and the enforced relationships the TDEFs declare. An enforced
// relationship shows in both tables as a logical index of kind 2: on the
// referencing ("many") side it names the referenced table's TDEF and the
// logical index (its primary key) that must hold the foreign key.
#include <algorithm>

#include "db/errors.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_maintenance.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/table/tdef_patch.h"

namespace act::db::jet {

namespace {

constexpr uint8_t kReferencedSide = 1;
constexpr uint8_t kReferencingSide = 2;

const Value& ColumnValue(const TableDefinition& table, const std::vector<Value>& row,
                         uint16_t number) {
  static const Value kNull;
  for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
    if (table.columns[i].number == number) return row[i];
  }
  return kNull;
}

// The name Access users know the index by: the primary key's, else the
// first logical index on it.
std::string IndexName(const TableDefinition& table, const RealIndex& index) {
  const LogicalIndex* found = nullptr;
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.real_index != index.number) continue;
    if (!found || logical.kind == 1) found = &logical;
  }
  return found ? found->name : "index " + std::to_string(index.number);
}

std::string TableName(Database& db, uint32_t tdef) {
  for (const CatalogEntry& entry : db.tables()) {
    if (entry.tdef_page == tdef) return entry.name;
  }
  return "table at page " + std::to_string(tdef);
}

// Rows of `table` whose key in `index` equals `key`: through the writer's
// own trees when they hold that table, else from the root the file holds
// now.
std::vector<RowPointer> Lookup(Database& db, const TableDefinition& table, const RealIndex& index,
                               const KeyBytes& key, TableIndexes* own) {
  if (own && &own->table() == &table) return own->Find(index, key);
  if (own && own->table().page == table.page) {
    // Another copy of the writer's definition (a relationship of the table
    // with itself): the same index by position.
    size_t position = size_t(&index - table.real_indexes.data());
    return own->Find(own->table().real_indexes.at(position), key);
  }
  RealIndex current = index;
  current.root = ReadIndexState(db, table, index).root;
  return IndexReader(db.pager(), db.format(), table, current).Find(key);
}

const LogicalIndex* LogicalByNumber(const TableDefinition& table, uint32_t number) {
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.number == number) return &logical;
  }
  return nullptr;
}

// The key, in `to`'s index, of the values `from_row` holds in the columns
// of `from_index` (a foreign key looked up in a primary key, or back).
KeyBytes CrossKey(Database& db, const TableDefinition& from, const RealIndex& from_index,
                  const std::vector<Value>& from_row, const TableDefinition& to,
                  const RealIndex& to_index) {
  if (from_index.columns.size() != to_index.columns.size()) {
    throw JetFailure(kJetDatabaseCorrupt, db.path() + ": relationship between tables at pages " +
                                              std::to_string(from.page) + " and " +
                                              std::to_string(to.page) +
                                              " pairs indexes of different widths");
  }
  KeyBytes key;
  for (size_t i = 0; i < to_index.columns.size(); ++i) {
    const ColumnDef* column = to.ColumnByNumber(to_index.columns[i].column_number);
    AppendKeyColumn(key, db.format(), *column, to_index.columns[i].ascending,
                    ColumnValue(from, from_row, from_index.columns[i].column_number));
  }
  return key;
}

struct Relation {
  std::shared_ptr<const TableDefinition> other;
  const RealIndex* mine = nullptr;
  const RealIndex* theirs = nullptr;
  const LogicalIndex* logical = nullptr;
};

std::vector<Relation> Relations(Database& db, const TableDefinition& table, uint8_t side) {
  std::vector<Relation> out;
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.kind != kForeignKey || logical.related_side != side) continue;
    Relation r;
    r.other = db.TableAt(logical.related_tdef);
    const LogicalIndex* related = LogicalByNumber(*r.other, logical.related_index);
    if (!related) {
      throw JetFailure(kJetDatabaseCorrupt,
                       db.path() + ": relationship index '" + logical.name +
                           "' names a missing index of the table at page " +
                           std::to_string(logical.related_tdef));
    }
    r.mine = &table.real_indexes.at(logical.real_index);
    r.theirs = &r.other->real_indexes.at(related->real_index);
    r.logical = &logical;
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace

namespace {

[[noreturn]] void FailDuplicate(Database& db, const TableDefinition& table,
                                const RealIndex& index) {
  throw JetFailure(kJetDuplicateKey, db.path() + ": table '" + TableName(db, table.page) +
                                         "', index '" + IndexName(table, index) + "'");
}

void Check(Database& db, const TableDefinition& table, const std::vector<Value>& row,
           std::optional<RowPointer> self, TableIndexes* own,
           const TableIndexes::RowKeys* keys) {
  // Named only for a report: this runs for every row written.
  auto table_name = [&] { return TableName(db, table.page); };
  for (const RealIndex& index : table.real_indexes) {
    const size_t nulls = NullKeyColumns(table, index, row);
    if (RefusesNullKey(index, nulls)) {
      throw JetFailure(kJetIndexNull, db.path() + ": table '" + table_name() + "', index '" +
                                          IndexName(table, index) + "'");
    }
    if (!LooksUpKey(index, nulls)) continue;
    const size_t position = size_t(&index - table.real_indexes.data());
    KeyBytes encoded;
    if (!keys) encoded = EncodeIndexKey(db.format(), table, index, row);
    const KeyBytes& key = keys ? keys->at(position) : encoded;
    for (RowPointer found : Lookup(db, table, index, key, own)) {
      if (self && found == *self) continue;
      FailDuplicate(db, table, index);
    }
  }
  for (const Relation& r : Relations(db, table, kReferencingSide)) {
    // A foreign key with a Null refers to nothing and is allowed.
    if (NullKeyColumns(table, *r.mine, row) > 0) continue;
    KeyBytes key = CrossKey(db, table, *r.mine, row, *r.other, *r.theirs);
    if (Lookup(db, *r.other, *r.theirs, key, own).empty()) {
      throw JetFailure(kJetRelatedRecordRequired,
                       db.path() + ": table '" + TableName(db, r.other->page) +
                           "' (relationship '" + r.logical->name + "' of table '" +
                           table_name() + "')");
    }
  }
}

}  // namespace

void CheckIndexConstraints(Database& db, const TableDefinition& table,
                           const std::vector<Value>& row, std::optional<RowPointer> self) {
  Check(db, table, row, self, nullptr, nullptr);
}

void CheckIndexConstraints(Database& db, TableIndexes& own, const std::vector<Value>& row,
                           const TableIndexes::RowKeys& keys, std::optional<RowPointer> self) {
  Check(db, own.table(), row, self, &own, &keys);
}

void CheckUniqueKeys(Database& db, TableIndexes& own, const TableIndexes::RowKeys& keys,
                     uint64_t lookup) {
  const TableDefinition& table = own.table();
  for (size_t i = 0; i < table.real_indexes.size() && i < 64 && lookup >> i != 0; ++i) {
    if (!((lookup >> i) & 1)) continue;
    const RealIndex& index = table.real_indexes[i];
    if (!own.Find(i, keys.at(i)).empty()) FailDuplicate(db, table, index);
  }
}

std::vector<Dependents> CheckDeleteConstraints(Database& db, const TableDefinition& table,
                                              const std::vector<Value>& row,
                                              const RowFinder& find) {
  std::vector<Dependents> cascaded;
  for (const Relation& r : Relations(db, table, kReferencedSide)) {
    if (NullKeyColumns(table, *r.mine, row) > 0) continue;
    KeyBytes key = CrossKey(db, table, *r.mine, row, *r.other, *r.theirs);
    const size_t position = size_t(r.theirs - r.other->real_indexes.data());
    std::vector<RowPointer> rows = find ? find(*r.other, position, key)
                                        : Lookup(db, *r.other, *r.theirs, key, nullptr);
    if (rows.empty()) continue;
    // The referencing side's descriptor carries the relationship's
    // cascade flags, as MSysRelationships.grbit states them.
    const LogicalIndex* theirs = LogicalByNumber(*r.other, r.logical->related_index);
    if (!theirs || theirs->cascade_deletes != 1) {
      throw JetFailure(kJetRelatedRecordsExist, db.path() + ": table '" +
                                                    TableName(db, r.other->page) + "'");
    }
    cascaded.push_back({r.other, std::move(rows)});
  }
  return cascaded;
}

}  // namespace act::db::jet
