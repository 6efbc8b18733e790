#include "db/jet/maintain/compaction.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "db/errors.h"
#include "db/jet/file/header.h"
#include "db/jet/file/page.h"
#include "db/jet/table/catalog.h"
#include "db/jet/table/database.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"
#include "db/jet/write/ddl.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/write/index_rebuild.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/write/tdef_writer.h"

namespace act::db::jet {

namespace {

// Rows are handed to the file in batches, so that a large table does not
// wait in memory whole.
constexpr size_t kRowsPerFlush = 4096;
constexpr size_t kDatabaseKeyOffset = 0x3E;

// The rows of a source table, passing over those that cannot be read: a
// row that fails is counted and the scan goes on with the next; a page
// that fails as a whole is passed over.
class RescuingScan {
 public:
  RescuingScan(Database& db, const TableDefinition& table, LeftBehind& lost)
      : scan_(db.pager(), db.format(), table), lost_(lost), values_(table.columns.size()) {}

  // The next row that reads whole, or nullptr at the end.
  std::vector<Value>* Next() {
    for (;;) {
      const auto before = scan_.cursor();
      try {
        if (!scan_.Next()) return nullptr;
        for (size_t i = 0; i < values_.size(); ++i) scan_.Read(i, values_[i]);
        return &values_;
      } catch (const Error& e) {
        if (lost_.first_failure.empty()) lost_.first_failure = e.what();
        if (scan_.cursor() == before) {
          ++lost_.pages;
          scan_.SkipPage();
        } else {
          ++lost_.rows;
        }
      }
    }
  }

 private:
  TableScan scan_;
  LeftBehind& lost_;
  std::vector<Value> values_;
};

bool IsEmpty(const LeftBehind& lost) {
  return !lost.whole_table && lost.rows == 0 && lost.pages == 0;
}

// A copy of the definition that writes rows only: with no indexes and no
// relationships, the writer neither keeps trees nor looks rows up in other
// tables; the indexes are built once the rows are in.
std::shared_ptr<const TableDefinition> RowsOnly(TableDefinition table) {
  table.real_indexes.clear();
  table.logical_indexes.clear();
  return std::make_shared<const TableDefinition>(std::move(table));
}

class Compaction {
 public:
  Compaction(Database& source, Database& target)
      : source_(source), target_(target), allocator_(target) {}

  CompactionReport Run() {
    target_.pager().BeginDeferredWrites();
    for (const CatalogEntry& entry : target_.tables()) engine_.emplace(entry.name, entry.tdef_page);
    // Every table's new TDEF page is known before any definition is
    // written, since relationships name the related table's.
    std::vector<std::pair<CatalogEntry, TableDefinition>> copied;
    for (const CatalogEntry& entry : source_.tables()) {
      LeftBehind lost;
      lost.table = entry.name;
      try {
        TableDefinition table = ReadTableDefinition(source_.pager(), source_.format(),
                                                    entry.tdef_page);
        if (auto it = engine_.find(entry.name); it != engine_.end()) {
          CheckSameLayout(entry.name, table, it->second);
          pages_[entry.tdef_page] = it->second;
          engine_sources_[entry.name] = std::move(table);
          continue;
        }
        pages_[entry.tdef_page] = allocator_.AllocateUnownedPage();
        copied.emplace_back(entry, std::move(table));
      } catch (const Error& e) {
        if (e.number() == kJetOperationNotSupported) throw;
        lost.whole_table = true;
        lost.first_failure = e.what();
        lost_tables_.insert(entry.tdef_page);
        report_.left_behind.push_back(lost);
      }
    }
    for (auto& [entry, table] : copied) WriteDefinition(table, pages_.at(entry.tdef_page));
    Flush();
    for (auto& [entry, table] : copied) CopyTable(entry, table, pages_.at(entry.tdef_page));
    // MSysObjects last: the writers of the others read their properties
    // from the catalog rows still in it.
    for (const auto& [name, page] : engine_) {
      if (name != "MSysObjects") ReplaceEngineRows(name, page);
    }
    if (engine_.count("MSysObjects")) ReplaceEngineRows("MSysObjects", engine_.at("MSysObjects"));
    target_.pager().FlushWrites();
    return std::move(report_);
  }

 private:
  // The engine tables are the template's; the source's must have the same
  // columns for its rows to go into them.
  void CheckSameLayout(const std::string& name, const TableDefinition& source,
                       uint32_t target_page) {
    TableDefinition target = ReadTableDefinition(target_.pager(), target_.format(), target_page);
    bool same = source.columns.size() == target.columns.size();
    for (size_t i = 0; same && i < source.columns.size(); ++i) {
      same = SameName(source.columns[i].name, target.columns[i].name) &&
             source.columns[i].type == target.columns[i].type;
    }
    if (!same) {
      throw JetFailure(kJetOperationNotSupported,
                       source_.path() + ": the engine table '" + name +
                           "' has columns this engine does not know; it cannot be compacted");
    }
  }

  // The source's definition with new maps, no rows and no index pages yet
  // (RebuildIndexes builds them), and related tables at their new pages.
  void WriteDefinition(const TableDefinition& table, uint32_t page) {
    const Format& f = target_.format();
    std::vector<uint8_t> def = LoadTableDefinition(source_, table);
    size_t maps_needed = 2 + table.real_indexes.size();
    for (const LongValueMaps& m : table.long_value_maps) {
      maps_needed += !m.owned.empty() + !m.free.empty();
    }
    const std::vector<MapRef> maps = AddEmptyMaps(target_, allocator_, maps_needed);
    size_t next = 0;
    StoreU32(&def[f.tdef_rows], 0);
    StoreU32(&def[f.tdef_owned_map], maps[next++].word());
    StoreU32(&def[f.tdef_free_map], maps[next++].word());
    for (const RealIndex& index : table.real_indexes) {
      const size_t counters = f.tdef_index_counters + index.number * f.tdef_index_counter_size;
      StoreU32(&def[counters], 0);
      StoreU32(&def[counters + 4], 0);
      StoreU32(&def[index.descriptor_offset + f.real_index_map], maps[next++].word());
      StoreU32(&def[index.descriptor_offset + f.real_index_root], 0);
    }
    for (size_t i = 0; i < table.logical_indexes.size(); ++i) {
      const size_t related = table.logical_indexes_offset + i * f.logical_index_size +
                             f.logical_index_fields + 13;
      auto it = pages_.find(table.logical_indexes[i].related_tdef);
      if (table.logical_indexes[i].related_tdef != 0 && it != pages_.end()) {
        StoreU32(&def[related], it->second);
      }
    }
    for (size_t i = 0; i < table.long_value_maps.size(); ++i) {
      const LongValueMaps& m = table.long_value_maps[i];
      const size_t at = table.long_value_maps_offset + 10 * i;
      if (!m.owned.empty()) StoreU32(&def[at + 2], maps[next++].word());
      if (!m.free.empty()) StoreU32(&def[at + 6], maps[next++].word());
    }
    TableDefinition placed;
    placed.page = page;
    placed.pages = {page};
    StoreTableDefinition(target_, allocator_, placed, std::move(def));
  }

  void CopyTable(const CatalogEntry& entry, const TableDefinition& source_table, uint32_t page) {
    LeftBehind lost;
      lost.table = entry.name;
    TableDefinition table = ReadTableDefinition(target_.pager(), target_.format(), page);
    {
      TableWriter writer(target_, allocator_, RowsOnly(table));
      std::optional<RescuingScan> rows;
      try {
        rows.emplace(source_, source_table, lost);
      } catch (const Error& e) {
        lost.whole_table = true;
        lost.stored_rows = source_table.row_count;
        lost.first_failure = e.what();
      }
      size_t copied = 0;
      while (rows) {
        std::vector<Value>* values = rows->Next();
        if (!values) break;
        writer.Append(*values);
        ++copied;
        if (++report_.rows % kRowsPerFlush == 0) {
          writer.Finish();
          target_.pager().FlushWrites(false);
        }
      }
      writer.Finish();
      // The rows of a page that does not read are not known one by one:
      // the stored row count tells how many are missing.
      if (lost.pages > 0 && source_table.row_count > copied) {
        lost.rows = std::max<size_t>(lost.rows, source_table.row_count - copied);
      }
    }
    RebuildIndexes(target_, allocator_, table, [this] { Flush(); });
    ++report_.tables;
    if (!IsEmpty(lost)) report_.left_behind.push_back(lost);
  }

  // The template's rows of an engine table go; the source's come in, with
  // the Ids of tables (their TDEF pages) moved to the copies' pages.
  void ReplaceEngineRows(const std::string& name, uint32_t page) {
    TableDefinition table = ReadTableDefinition(target_.pager(), target_.format(), page);
    // The template's pages of rows and long values are given back whole,
    // so that the source's rows fill them from the first.
    std::vector<MapRef> owned = {table.owned_map};
    for (const LongValueMaps& m : table.long_value_maps) owned.push_back(m.owned);
    for (MapRef map : owned) {
      if (map.empty()) continue;
      for (uint32_t p : ReadUsageMap(target_.pager(), target_.format(), map)) {
        allocator_.FreePage(table, p);
      }
    }
    WriteDefinitionU32(target_, table, target_.format().tdef_rows, 0);
    {
      TableWriter writer(target_, allocator_, RowsOnly(table));
      auto source = engine_sources_.find(name);
      if (source != engine_sources_.end()) {
        LeftBehind lost;
        lost.table = name;
        const int id = table.ColumnIndex(name == "MSysACEs" ? "ObjectId" : "Id");
        const int type = table.ColumnIndex("Type");
        RescuingScan rows(source_, source->second, lost);
        while (std::vector<Value>* values = rows.Next()) {
          if (id >= 0 && !(*values)[size_t(id)].is_null()) {
            Value& v = (*values)[size_t(id)];
            const uint32_t object = uint32_t(v.integer());
            const bool table_row = type < 0 || (*values)[size_t(type)] == Value::Integer(kObjectTypeTable);
            if (table_row && lost_tables_.count(object)) continue;
            auto moved = pages_.find(object);
            if (table_row && moved != pages_.end()) v = Value::Long(int32_t(moved->second));
          }
          writer.Append(*values);
          ++report_.rows;
        }
        if (!IsEmpty(lost)) report_.left_behind.push_back(lost);
        ++report_.tables;
      }
      writer.Finish();
    }
    RebuildIndexes(target_, allocator_, table, [this] { Flush(); });
  }

  void Flush() { target_.pager().FlushWrites(false); }

  Database& source_;
  Database& target_;
  PageAllocator allocator_;
  CompactionReport report_;
  std::map<std::string, uint32_t> engine_;  // the template's tables: name -> TDEF page
  std::map<std::string, TableDefinition> engine_sources_;
  std::map<uint32_t, uint32_t> pages_;  // source TDEF page -> target TDEF page
  std::set<uint32_t> lost_tables_;      // source TDEF pages of tables left behind
};

// The source's header page, without its database key.
void CopyHeader(Database& source, FileSystem& fs, const std::string& target) {
  std::vector<uint8_t> header = source.pager().ReadHeaderBytes(source.pager().page_size());
  ToggleHeaderMask(source.format(), header.data());
  StoreU32(&header[kDatabaseKeyOffset], 0);
  ToggleHeaderMask(source.format(), header.data());
  auto file = fs.OpenRandomAccess(target, true);
  file->WriteAt(0, header.data(), header.size());
  file->Sync();
}

}  // namespace

std::string LeftBehind::text() const {
  std::string s = "table '" + table + "': ";
  if (whole_table) {
    s += stored_rows > 0 ? "all " + std::to_string(stored_rows) + " rows" : "the whole table";
  } else {
    s += std::to_string(rows) + (rows == 1 ? " row" : " rows");
    if (pages > 0) {
      s += " (by its stored row count; " + std::to_string(pages) +
           (pages == 1 ? " page does" : " pages do") + " not read)";
    }
  }
  return s + " left behind (" + first_failure + ")";
}

CompactionReport CompactDatabase(FileSystem& fs, const std::string& source,
                                 const std::string& target) {
  std::unique_ptr<Database> from = Database::Open(fs, source, /*writable=*/false);
  if (!from->format().is_jet3()) {
    throw JetFailure(kJetOperationNotSupported,
                     source + ": compaction writes Access 97 (Jet 3) files only");
  }
  CreateDatabase(fs, target);
  try {
    CompactionReport report;
    {
      std::unique_ptr<Database> to = Database::Open(fs, target, /*writable=*/true);
      report = Compaction(*from, *to).Run();
    }
    CopyHeader(*from, fs, target);
    return report;
  } catch (const Error&) {
    try {
      fs.DeleteFile(target, false);
    } catch (const Error&) {
      // The compaction's own failure is the one to report.
    }
    throw;
  }
}

}  // namespace act::db::jet
