// Index maintenance behind the row writer and the statements the update
// runs: rows appended through TableWriter and INSERT statements land in
// every index (checked by the database checker, by lookups from the root
// and by mdb-export and mdb-reader reading the rows), duplicate keys are
// refused while the statement goes on, and the relationships of
// indexTestV1997 are enforced.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_maintenance.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/dbindex/index_test_util.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/bytes.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;
using act::test::Hex;

std::vector<jet::RowPointer> Find(jet::Database& db, const jet::TableDefinition& table,
                                  const jet::RealIndex& index, const std::vector<Value>& row) {
  jet::RealIndex current = index;
  current.root = jet::ReadIndexState(db, table, index).root;
  jet::KeyBytes key = jet::EncodeIndexKey(db.format(), table, index, row);
  return jet::IndexReader(db.pager(), db.format(), table, current).Find(key);
}

int Depth(jet::Database& db, const jet::TableDefinition& table, const jet::RealIndex& index) {
  uint32_t page = jet::ReadIndexState(db, table, index).root;
  for (int depth = 1;; ++depth) {
    auto p = jet::ReadIndexPage(db.pager(), db.format(), page, table.page);
    if (p.leaf) return depth;
    page = p.entries.empty() ? p.tail : p.entries.front().child;
  }
}

// Both independent readers read every row of the table back: mdb-export
// every value, mdb-reader the text of column `text_column`.
void ExpectReadersReadEveryRow(jet::Database& db, const std::string& path,
                               const std::string& table_name, size_t text_column) {
  ACT_REQUIRE_TOOL("mdb-export");
  ACT_REQUIRE_TOOL("mdb-reader");
  bool ok = false;
  std::string exported = MdbExport(path, table_name, &ok);
  EXPECT_TRUE(ok) << "mdb-export cannot read " << path;
  EXPECT_EQ(SortedLines(exported), SortedLines(RenderLikeMdbExport(db, table_name)));
  bool failed = false;
  std::vector<std::string> read = MdbReaderRows(path, table_name, &ok, &failed);
  EXPECT_FALSE(failed);
  std::multiset<std::string> theirs, ours;
  for (const std::string& line : read) {
    size_t at = 0;
    for (size_t k = 0; k < text_column; ++k) at = line.find('\t', at) + 1;
    theirs.insert(line.substr(at, line.find('\t', at) - at));
  }
  for (const TableRow& row : ReadRows(db, *db.Table(table_name))) {
    ours.insert("S:" + Hex(row.values[text_column].bytes()));
  }
  EXPECT_EQ(theirs, ours);
}

// Spanish marks, and the letters that expand to two (ß, æ, œ) with accents
// after them, which count them twice in the accent part of the key.
TEST(AppendedRows, ThousandsInRandomKeyOrderAreFoundByKeyAndReadByMdbExport) {
  std::string dir = ScratchDir("dbindex_thousands");
  std::string path = CopySample("jet3/testIndexCodesV1997.mdb", dir, "many.mdb");
  HostFileSystem fs;
  const char* const pieces[] = {"á", "é", "í", "ó", "ú", "ü", "ñ", "¿", "¡", "Á", "É", "Ú", "Ñ",
                                "ca", "ción", "de", "la", "pe", "ro", "güe", " ", "-",
                                "ß", "æ", "Æ", "œ", "Œ", "groß", "ä"};
  std::mt19937 random(2026);
  auto text = [&](size_t n) {
    std::string s;
    while (s.size() < n) s += pieces[random() % std::size(pieces)];
    return s;
  };
  std::vector<std::vector<Value>> appended;
  std::vector<jet::RowPointer> positions;
  int refused = 0;
  {
    auto db = OpenForWrite(fs, path);
    db->pager().BeginDeferredWrites();
    jet::PageAllocator allocator(*db);
    jet::TableWriter writer(*db, allocator, db->Table("Table12_asc_desc"));
    for (int i = 0; i < 2500; ++i) {
      // name (primary key), data1 + data2 (text, Long descending).
      std::vector<Value> row = {Value::Text(text(20 + random() % 30)), Value::Text(text(30)),
                                Value::Long(int32_t(random() % 100))};
      try {
        positions.push_back(writer.Append(row));
        appended.push_back(row);
      } catch (const act::Error& e) {
        ASSERT_EQ(e.number(), kJetDuplicateKey) << e.what();
        ++refused;
      }
      if (db->pager().pending_writes() > 256) {
        writer.Finish();
        db->pager().FlushWrites();
      }
    }
    writer.Finish();
    db->pager().FlushWrites();
  }
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_EQ(FaultText(db), "");
  auto table = db.Table("Table12_asc_desc");
  int deepest = 0;
  for (const auto& index : table->real_indexes) deepest = std::max(deepest, Depth(db, *table, index));
  EXPECT_GE(deepest, 3);
  for (size_t i = 0; i < appended.size(); ++i) {
    for (const auto& index : table->real_indexes) {
      auto found = Find(db, *table, index, appended[i]);
      ASSERT_NE(std::find(found.begin(), found.end(), positions[i]), found.end())
          << "row " << i << " not found through index " << index.number;
    }
  }
  EXPECT_EQ(table->row_count, 10 + appended.size());
  ExpectReadersReadEveryRow(db, path, "Table12_asc_desc", 0);
  std::printf("%zu rows appended, %d refused as duplicates, index depth %d\n", appended.size(),
              refused, deepest);
}

// Names with ß, æ and œ before accents, appended to Northwind's suppliers
// among the entry Access wrote for "Plutzer Lebensmittelgroßmärkte AG": a
// key counted differently from Access's would sort away from it, and the
// checker would miss Access's own row.
TEST(AppendedRows, SharpSAndLigaturesBeforeAccentsSitAmongAccessEntries) {
  std::string dir = ScratchDir("dbindex_sharp_s");
  std::string path = CopySample("jet3/nwind.mdb", dir, "nwind.mdb");
  HostFileSystem fs;
  const std::vector<std::string> names = {
      "Plutzer Lebensmittelgroßmärkte AH", "Lebensmittelgroßmärkte Süd", "Straße nach Köln",
      "Æbleskiver på Ærø", "cæsar élève", "Œuvres complètes", "cœur fidèle"};
  {
    auto db = OpenForWrite(fs, path);
    for (const std::string& name : names) {
      auto r = ExecuteStatement(fs, *db, "INSERT INTO Suppliers (CompanyName, City) VALUES ('" +
                                             name + "', 'Köln')");
      EXPECT_EQ(r.changed, 1) << name;
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_EQ(FaultText(db), "");
  auto table = db.Table("Suppliers");
  const size_t company = 1;
  ASSERT_EQ(table->columns[company].name, "CompanyName");
  const jet::RealIndex* by_name = nullptr;
  for (const auto& index : table->real_indexes) {
    if (index.columns[0].column_number == table->columns[company].number) by_name = &index;
  }
  ASSERT_NE(by_name, nullptr);
  std::vector<std::string> looked_up = names;
  looked_up.push_back("Plutzer Lebensmittelgroßmärkte AG");  // Access's row
  for (const std::string& name : looked_up) {
    std::vector<Value> row(table->columns.size());
    row[company] = Value::Text(name);
    EXPECT_EQ(Find(db, *table, *by_name, row).size(), 1u) << name;
  }
  ExpectReadersReadEveryRow(db, path, "Suppliers", company);
}

TEST(AppendedRows, DuplicateKeysAreLeftOutAndTheStatementGoesOn) {
  std::string dir = ScratchDir("dbindex_duplicates");
  std::string source = CopySample("jet3/testIndexCodesV1997.mdb", dir, "source.mdb");
  std::string target = CopySample("jet3/testIndexCodesV1997.mdb", dir, "target.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, source);
    // Two rows the target lacks, between the shipped ones in key order.
    for (const char* name : {"Ñandú del río", "ÁRBOL ÚNICO ¿sí?"}) {
      auto r = ExecuteStatement(fs, *db, std::string("INSERT INTO Table2 (name, data) VALUES ('") +
                                             name + "', 77)");
      EXPECT_EQ(r.changed, 1);
    }
    // The carry-over's statement: every shipped row is a duplicate key.
    auto r = ExecuteStatement(fs, *db, "Insert INTO Table2 IN '" + target +
                                           "' SELECT * FROM Table2");
    EXPECT_EQ(r.changed, 2);
    EXPECT_EQ(r.refused_key, 9);
  }
  jet::Database db(std::make_unique<HostFile>(target));
  EXPECT_EQ(FaultText(db), "");
  auto table = db.Table("Table2");
  EXPECT_EQ(table->row_count, 11u);
  for (const char* name : {"Ñandú del río", "ÁRBOL ÚNICO ¿sí?", "ñandú DEL RÍO"}) {
    // Jet 3 keys carry no case: the lower-case form finds the row too.
    auto found = Find(db, *table, table->real_indexes[1], {Value::Text(name), Value::Long(77)});
    EXPECT_EQ(found.size(), 1u) << name;
  }
  if (HaveCommand("mdb-export")) {
    bool ok = false;
    std::string csv = MdbExport(target, "Table2", &ok);
    EXPECT_NE(csv.find("Ñandú del río"), std::string::npos) << csv;
    EXPECT_EQ(MdbExportRowCount(target, "Table2"), 11);
  }
}

// indexTestV1997: Table1.otherfk1 refers to Table2.id (cascading deletes),
// Table1.otherfk2 to Table3.id (cascading updates only), both enforced.
TEST(Relationships, ForeignKeysMustFindTheirRowAndReferencedRowsStay) {
  std::string dir = ScratchDir("dbindex_relationships");
  std::string path = CopySample("jet3/indexTestV1997.mdb", dir, "rel.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  auto t2 = ReadRows(*db, *db->Table("Table2"));
  auto t3 = ReadRows(*db, *db->Table("Table3"));
  ASSERT_FALSE(t2.empty());
  ASSERT_FALSE(t3.empty());
  std::string fk1 = t2[0].values[0].ToText(), fk2 = t3[0].values[0].ToText();

  // A one-row INSERT ... VALUES reports its refusal (the row writer's rule).
  auto insert = [&](const std::string& id, const std::string& a, const std::string& b) {
    try {
      ExecuteStatement(fs, *db, "INSERT INTO Table1 (id, otherfk1, otherfk2, data) VALUES (" +
                                    id + ", " + a + ", " + b + ", 'x')");
      return 0;
    } catch (const act::Error& e) {
      return e.number();
    }
  };
  EXPECT_EQ(insert("100", "9999", fk2), kJetRelatedRecordRequired);
  EXPECT_EQ(insert("101", fk1, "9999"), kJetRelatedRecordRequired);
  EXPECT_EQ(insert("102", fk1, fk2), 0);
  // A Null foreign key refers to nothing and is allowed.
  EXPECT_EQ(insert("103", "Null", fk2), 0);
  EXPECT_EQ(insert("103", fk1, fk2), kJetDuplicateKey);
  EXPECT_EQ(db->Table("Table1")->row_count, 6u);

  auto table1 = db->Table("Table1");
  std::vector<Value> orphan(table1->columns.size());
  orphan[0] = Value::Long(104);
  orphan[1] = Value::Long(9999);
  try {
    jet::CheckIndexConstraints(*db, *table1, orphan);
    FAIL() << "an orphan foreign key was accepted";
  } catch (const act::Error& e) {
    EXPECT_EQ(e.number(), kJetRelatedRecordRequired);
    EXPECT_NE(std::string(e.what()).find("'Table2'"), std::string::npos) << e.what();
  }
  // Table3's row is referenced and its relationship does not cascade deletes.
  try {
    jet::CheckDeleteConstraints(*db, *db->Table("Table3"), t3[0].values);
    FAIL() << "a referenced row could be deleted";
  } catch (const act::Error& e) {
    EXPECT_EQ(e.number(), kJetRelatedRecordsExist);
  }
  EXPECT_EQ(FaultText(*db), "");
}

}  // namespace
}  // namespace act::db::testing
