// jetsql --compact and --repair on copies of the samples: the compacted
// file reads the same through mdbtools and mdb-reader and is no larger;
// damage planted by hand is repaired from the rows, and rows that cannot be
// read are named and left for the compaction to rescue.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "db/jet/index/index_maintenance.h"
#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/db/host_file.h"
#include "tests/jetsql/tool_util.h"
#include "tests/support/peer_tools.h"

namespace act::jetsql {
namespace {

using db::testing::RunCommand;

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

std::string SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::vector<std::string> LinesOf(const std::string& command) {
  std::vector<std::string> lines;
  std::istringstream in(RunCommand(command).out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// What the peer readers see of a file, compared sorted where compaction
// reorders: every table's rows (mdb-export; the catalog and its access
// entries left out, whose table Ids are TDEF pages and so move), the
// properties of the database and of each user table (mdb-prop; for a
// system table, which has none, it shows what it read before), every saved
// query's SQL (mdb-queries), and every user table's values as mdb-reader
// decodes them.
std::map<std::string, std::string> PeerView(const std::string& file) {
  std::map<std::string, std::string> view;
  for (const std::string& table : LinesOf("mdb-tables -S -1 " + Quoted(file))) {
    if (table == "MSysObjects" || table == "MSysACEs") continue;
    view["rows " + table] =
        SortedLines(RunCommand("mdb-export " + Quoted(file) + " " + Quoted(table)).out);
  }
  for (const std::string& object : LinesOf("mdb-tables -1 " + Quoted(file) + "; echo MSysDb")) {
    view["properties " + object] =
        RunCommand("mdb-prop " + Quoted(file) + " " + Quoted(object) + " 2>&1").out;
  }
  // mdb-queries finds a query by its name alone: where a form has the same
  // name, it shows whichever catalog row it meets first.
  std::multiset<std::string> names;
  for (const std::string& name : LinesOf("mdb-export -H " + Quoted(file) +
                                         " MSysObjects | cut -d, -f3")) {
    names.insert(name.size() > 1 ? name.substr(1, name.size() - 2) : name);
  }
  for (const std::string& query : LinesOf("mdb-queries -1 -L " + Quoted(file))) {
    if (names.count(query) > 1) continue;
    view["query " + query] = RunCommand("mdb-queries " + Quoted(file) + " " + Quoted(query)).out;
  }
  const std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  view["mdb-reader"] = SortedLines(RunCommand("node '" + tools + "/dump.mjs' " + Quoted(file)).out);
  return view;
}

// The catalog rows as this engine reads them, without the Ids, sorted.
std::string CatalogWithoutIds(FileSystem& fs, const std::string& path) {
  Outcome o = RunTool(fs, {"--json", path,
                           "SELECT ParentId, Name, Type, DateCreate, DateUpdate, Owner, Flags, "
                           "Database, Connect, ForeignName, RmtInfoShort, RmtInfoLong, Lv, "
                           "LvProp, LvModule, LvExtra FROM MSysObjects"});
  EXPECT_EQ(o.status, 0) << o.err;
  return SortedLines(o.out);
}

// Each relationship of each table, as "table: index -> related table",
// sorted: the related table named, not its TDEF page.
std::string Relationships(FileSystem& fs, const std::string& path) {
  auto db = db::jet::Database::Open(fs, path, /*writable=*/false);
  std::map<uint32_t, std::string> names;
  for (const auto& entry : db->tables()) names[entry.tdef_page] = entry.name;
  std::string out;
  for (const auto& entry : db->tables()) {
    for (const auto& logical : db->Table(entry.name)->logical_indexes) {
      if (logical.related_tdef == 0) continue;
      auto related = names.find(logical.related_tdef);
      out += entry.name + ": " + logical.name + " -> " +
             (related == names.end() ? "nothing" : related->second) + "\n";
    }
  }
  return SortedLines(out);
}

std::vector<std::string> Jet3Samples() {
  std::vector<std::string> samples;
  for (const std::string& s : db::testing::SampleDatabases()) {
    if (s.starts_with("jet3/")) samples.push_back(s);
  }
  return samples;
}

std::string Check(FileSystem& fs, const std::string& path) {
  Outcome o = RunTool(fs, {path, "--check"});
  EXPECT_EQ(o.status, 0) << path << "\n" << o.out << o.err;
  return o.out;
}

TEST(Compact, EverySampleReadsTheSameAndIsNoLarger) {
  ACT_REQUIRE_TOOL("mdb-export");
  ACT_REQUIRE_TOOL("mdb-reader");
  size_t related = 0;
  for (const std::string& sample : Jet3Samples()) {
    SCOPED_TRACE(sample);
    SampleCopy db(sample);
    const std::string target = db.drive().Path("\\compacto.mdb");
    Outcome o = RunTool(db.fs(), {"--compact", db.path(), target});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(db.Unchanged());
    const std::string check = Check(db.fs(), target);
    EXPECT_TRUE(Contains(check, ": no damage\n")) << check;
    EXPECT_FALSE(Contains(check, "compaction")) << check;
    const size_t before = db.fs().ReadFileBytes(db.path()).size();
    EXPECT_LE(db.fs().ReadFileBytes(target).size(), before);
    auto theirs = PeerView(db.drive().root() + "/datos.mdb");
    auto ours = PeerView(db.drive().root() + "/compacto.mdb");
    EXPECT_GT(theirs.size(), 6u);
    for (const auto& [what, seen] : theirs) EXPECT_TRUE(ours[what] == seen) << what;
    EXPECT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(CatalogWithoutIds(db.fs(), target), CatalogWithoutIds(db.fs(), db.path()));
    const std::string relationships = Relationships(db.fs(), db.path());
    EXPECT_EQ(Relationships(db.fs(), target), relationships);
    related += relationships.size();
  }
  EXPECT_GT(related, 0u);  // some samples hold enforced relationships
}

TEST(Compact, RefusesWhatItCannotWrite) {
  // Jet 4: the writer writes Access 97 files only; nothing is made.
  SampleCopy jet4("jet4/indexTestV2000.mdb");
  const std::string target = jet4.drive().Path("\\compacto.mdb");
  Outcome o = RunTool(jet4.fs(), {"--compact", jet4.path(), target});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(Contains(o.err, "error 3251: ")) << o.err;
  EXPECT_TRUE(Contains(o.err, "Access 97 (Jet 3) files only")) << o.err;
  EXPECT_FALSE(jet4.fs().FileExists(target));
  // An existing target is never overwritten.
  SampleCopy jet3("jet3/testV1997.mdb");
  jet3.drive().WriteText("\\compacto.mdb", "mine");
  o = RunTool(jet3.fs(), {"--compact", jet3.path(), jet3.drive().Path("\\compacto.mdb")});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(Contains(o.err, "error 58: ")) << o.err;
  EXPECT_EQ(jet3.drive().ReadText("\\compacto.mdb"), "mine");
}

// A user table with rows (and an index when asked for), its first row and
// where it lies.
struct Victim {
  std::shared_ptr<const db::jet::TableDefinition> table;
  std::vector<db::Value> row;
  db::jet::RowPointer where;
};

Victim FirstRow(db::jet::Database& db, bool indexed) {
  for (const auto& entry : db.tables()) {
    auto table = db.Table(entry.name);
    if (entry.is_system() || (indexed && table->real_indexes.empty())) continue;
    db::jet::TableScan scan(db.pager(), db.format(), *table);
    if (!scan.Next()) continue;
    Victim v{table, {}, scan.position()};
    for (size_t i = 0; i < table->columns.size(); ++i) v.row.push_back(scan.Get(i));
    return v;
  }
  return {};
}

// Damage planted into an open copy, and what the check says of it.
struct Damage {
  const char* name;
  bool on_an_index;
  const char* finding;
  std::function<void(db::jet::Database&, const Victim&)> plant;
};

const Damage kRepairable[] = {
    {"index entry removed", true, "is not listed under its key",
     [](db::jet::Database& db, const Victim& v) {
       db::jet::RemoveIndexEntries(db, *v.table, v.row, v.where);
     }},
    {"stored row count changed", false, "TDEF counts",
     [](db::jet::Database& db, const Victim& v) {
       db::jet::WriteDefinitionU32(db, *v.table, db.format().tdef_rows, v.table->row_count + 1);
     }},
    {"index map bit flipped", true, "in the index's usage map but not in the tree",
     [](db::jet::Database& db, const Victim& v) {
       db::jet::PageAllocator(db).maps().Set(v.table->real_indexes[0].map, v.table->page, true);
     }},
    {"global map bit flipped", false, "is marked free: a write may overwrite it",
     [](db::jet::Database& db, const Victim& v) {
       db::jet::PageAllocator(db).maps().Set(db::jet::MapRef{0, 1}, v.where.page, true, true);
     }},
};

// False when the copy holds no such row (no index in it).
bool Plant(SampleCopy& copy, bool on_an_index,
           const std::function<void(db::jet::Database&, const Victim&)>& plant) {
  auto db = db::jet::Database::Open(copy.fs(), copy.path(), /*writable=*/true);
  Victim victim = FirstRow(*db, on_an_index);
  if (!victim.table) return false;
  plant(*db, victim);
  return true;
}

std::string Rows(FileSystem& fs, const std::string& path) {
  auto db = db::jet::Database::Open(fs, path, /*writable=*/false);
  std::string rows;
  for (const auto& entry : db->tables()) {
    if (entry.is_system()) continue;
    Outcome o = RunTool(fs, {"--json", path, "SELECT * FROM [" + entry.name + "]"});
    EXPECT_EQ(o.status, 0) << o.err;
    rows += entry.name + "\n" + SortedLines(o.out);
  }
  return rows;
}

TEST(Repair, PutsRightWhatTheRowsCanAndKeepsEveryRow) {
  std::map<std::string, size_t> repaired;  // damage -> samples
  for (const std::string& sample : Jet3Samples()) {
    for (const Damage& damage : kRepairable) {
      SCOPED_TRACE(sample + ": " + damage.name);
      SampleCopy db(sample);
      const std::string rows = Rows(db.fs(), db.path());
      if (!Plant(db, damage.on_an_index, damage.plant)) continue;
      ++repaired[damage.name];
      Outcome before = RunTool(db.fs(), {db.path(), "--check"});
      EXPECT_EQ(before.status, 1);
      EXPECT_TRUE(Contains(before.out, damage.finding)) << before.out;
      Outcome o = RunTool(db.fs(), {"--repair", db.path()});
      EXPECT_EQ(o.status, 0) << o.out << o.err;
      EXPECT_TRUE(Contains(o.out, "rebuilt from its rows")) << o.out;
      EXPECT_TRUE(Contains(o.out, ": no damage\n")) << o.out;
      Check(db.fs(), db.path());
      EXPECT_EQ(Rows(db.fs(), db.path()), rows);
      EXPECT_EQ(db.fs().ListFolder(db.drive().Path("\\")).size(), 1u);
    }
  }
  // Every damage was planted into most samples (two hold no indexed rows).
  for (const Damage& damage : kRepairable) EXPECT_GE(repaired[damage.name], 6u) << damage.name;
  // A sound file is left as it is.
  SampleCopy sound("jet3/testV1997.mdb");
  Outcome o = RunTool(sound.fs(), {"--repair", sound.path()});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(Contains(o.out, "nothing was changed")) << o.out;
  EXPECT_TRUE(sound.Unchanged());
}

// A data page that no longer reads: repair changes nothing and names the
// table; compaction rescues the other rows and says what it left behind.
TEST(Repair, UnreadableRowsAreLeftToTheCompaction) {
  SampleCopy db("jet3/nwind.mdb");
  std::string table;
  size_t on_the_page = 0;
  Plant(db, false, [&](db::jet::Database& d, const Victim& v) {
    for (const auto& entry : d.tables()) {
      if (entry.tdef_page == v.table->page) table = entry.name;
    }
    db::jet::TableScan scan(d.pager(), d.format(), *v.table);
    while (scan.Next()) on_the_page += scan.position().page == v.where.page;
    std::vector<uint8_t> page = d.pager().Get(v.where.page)->bytes();
    page[0] = 0x7F;  // no page type
    d.pager().Write(v.where.page, page);
  });
  const std::vector<uint8_t> damaged = db.fs().ReadFileBytes(db.path());
  Outcome o = RunTool(db.fs(), {"--repair", db.path()});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(Contains(o.err, "error 3049: ")) << o.err;
  EXPECT_TRUE(Contains(o.err, "table '" + table + "': " + std::to_string(on_the_page) + " rows"))
      << o.err;
  EXPECT_TRUE(Contains(o.err, "--compact")) << o.err;
  EXPECT_EQ(db.fs().ReadFileBytes(db.path()), damaged);
  EXPECT_EQ(db.fs().ListFolder(db.drive().Path("\\")).size(), 1u);

  const std::string target = db.drive().Path("\\rescate.mdb");
  o = RunTool(db.fs(), {"--compact", db.path(), target});
  EXPECT_EQ(o.status, 1);
  ASSERT_GT(on_the_page, 1u);
  EXPECT_TRUE(Contains(o.out, "left behind: table '" + table + "': " +
                                  std::to_string(on_the_page) +
                                  " rows (by its stored row count; 1 page does not read)"))
      << o.out;
  Check(db.fs(), target);
  EXPECT_EQ(db.fs().ReadFileBytes(db.path()), damaged);
}

}  // namespace
}  // namespace act::jetsql
