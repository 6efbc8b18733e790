#include "db/jet/write/drop_index.h"

#include <set>

#include "db/errors.h"
#include "db/jet/file/page.h"
#include "db/jet/file/usage_map.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/drop_table.h"
#include "db/jet/write/tdef_writer.h"

namespace act::db::jet {

namespace {

// Where logical descriptor k's fields start in the definition.
size_t LogicalAt(const Format& f, const TableDefinition& table, size_t k) {
  return table.logical_indexes_offset + k * f.logical_index_size + f.logical_index_fields;
}

// Relationships elsewhere that name this table's logical index `from` by
// number now name `to`.
void RenumberRelated(Database& db, PageAllocator& allocator, const TableDefinition& table,
                     uint32_t from, uint32_t to) {
  const Format& f = db.format();
  std::set<uint32_t> others;
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.kind == kForeignKey && logical.related_tdef != table.page) {
      others.insert(logical.related_tdef);
    }
  }
  for (uint32_t page : others) {
    auto other = db.TableAt(page);
    std::vector<uint8_t> def = LoadTableDefinition(db, *other);
    bool changed = false;
    for (size_t k = 0; k < other->logical_indexes.size(); ++k) {
      const LogicalIndex& logical = other->logical_indexes[k];
      if (logical.related_tdef != table.page || logical.related_index != from) continue;
      StoreU32(&def[LogicalAt(f, *other, k) + 9], to);
      changed = true;
    }
    if (changed) StoreTableDefinition(db, allocator, *other, std::move(def));
  }
}

}  // namespace

void DropIndex(Database& db, const std::string& table_name, const std::string& index_name) {
  const Format& f = db.format();
  const std::string where = db.path() + ": table '" + table_name + "'";
  if (!f.is_jet3()) throw JetFailure(kJetOperationNotSupported, where + ": DROP INDEX in Jet 4");
  auto table = db.Table(table_name);
  size_t dropped = table->logical_indexes.size();
  for (size_t k = 0; k < table->logical_indexes.size(); ++k) {
    if (SameName(table->logical_indexes[k].name, index_name)) dropped = k;
  }
  if (dropped == table->logical_indexes.size()) {
    throw JetFailure(kJetNoSuchIndex, where + " has no index '" + index_name + "'");
  }
  const LogicalIndex gone = table->logical_indexes[dropped];
  bool shared = false;
  for (const LogicalIndex& logical : table->logical_indexes) {
    if (&logical == &table->logical_indexes[dropped] || logical.real_index != gone.real_index) {
      continue;
    }
    shared = true;
    if (logical.kind == kForeignKey) {
      throw JetFailure(kJetInRelationship, where + ": index '" + index_name +
                                               "' serves a relationship (drop it first)");
    }
  }
  if (gone.kind == kForeignKey) {
    throw JetFailure(kJetInRelationship,
                     where + ": index '" + index_name + "' is a relationship's (drop it first)");
  }

  db.pager().BeginDeferredWrites();
  PageAllocator allocator(db);
  std::vector<uint8_t> def = LoadTableDefinition(db, *table);
  // Numbers first, in place; then the parts go from the back, so that the
  // offsets in front stay valid.
  for (size_t k = 0; k < table->logical_indexes.size(); ++k) {
    const LogicalIndex& logical = table->logical_indexes[k];
    const size_t at = LogicalAt(f, *table, k);
    if (logical.number > gone.number) {
      StoreU32(&def[at], logical.number - 1);
      if (logical.kind == kForeignKey) {
        RenumberRelated(db, allocator, *table, logical.number, logical.number - 1);
      }
    }
    if (!shared && logical.real_index > gone.real_index) {
      StoreU32(&def[at + 4], logical.real_index - 1);
    }
  }
  size_t name_at = table->logical_names_offset;
  for (size_t k = 0; k < dropped; ++k) name_at += 1 + def[name_at];
  def.erase(def.begin() + name_at, def.begin() + name_at + 1 + def[name_at]);
  const size_t logical_at = table->logical_indexes_offset + dropped * f.logical_index_size;
  def.erase(def.begin() + logical_at, def.begin() + logical_at + f.logical_index_size);
  StoreU32(&def[f.tdef_logical_indexes], uint32_t(table->logical_indexes.size() - 1));
  if (!shared) {
    const RealIndex& real = table->real_indexes.at(gone.real_index);
    def.erase(def.begin() + real.descriptor_offset,
              def.begin() + real.descriptor_offset + f.real_index_size);
    const size_t counters = f.tdef_index_counters + real.number * f.tdef_index_counter_size;
    def.erase(def.begin() + counters, def.begin() + counters + f.tdef_index_counter_size);
    StoreU32(&def[f.tdef_real_indexes], uint32_t(table->real_indexes.size() - 1));
    for (uint32_t page : ReadUsageMap(db.pager(), f, real.map)) allocator.FreePage(page);
    DropMapRows(db, allocator, {real.map});
  }
  StoreU32(&def[8], uint32_t(def.size()));
  StoreTableDefinition(db, allocator, *table, std::move(def));
  db.pager().FlushWrites(false);
  db.Reload();
}

}  // namespace act::db::jet
