// CREATE INDEX through the statement executor on copies of the samples: the
// new index lists every row in key order (checker), finds rows by key,
// survives reopening, is kept by later appends, and mdb-export still reads
// the table. Refused indexes (duplicates under UNIQUE, a second primary
// key, a name in use) leave the file byte for byte as it was.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/db/host_file.h"
#include "tests/dbindex/index_test_util.h"
#include "tests/dbwrite/write_fixture.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

const jet::RealIndex& IndexNamed(const jet::TableDefinition& t, const std::string& name) {
  for (const auto& l : t.logical_indexes) {
    if (l.name == name) return t.real_indexes.at(l.real_index);
  }
  throw std::runtime_error("no index " + name);
}

int Refusal(HostFileSystem& fs, jet::Database& db, const std::string& statement) {
  try {
    ExecuteStatement(fs, db, statement);
    return 0;
  } catch (const act::Error& e) {
    return e.number();
  }
}

TEST(CreateIndex, BuildsOverExistingRowsAndIsKeptByLaterAppends) {
  std::string dir = ScratchDir("dbindex_create");
  std::string path = CopySample("jet3/compIndexTestV1997.mdb", dir, "create.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, "CREATE INDEX Agentes ON Table1 (RS_AGENTE, DC_AGENTE DESC)");
    // One row has no CD_AGENTE: a required index is refused, a unique one
    // takes it.
    EXPECT_EQ(Refusal(fs, *db, "CREATE UNIQUE INDEX Codigo ON Table1 (CD_AGENTE) WITH DISALLOW NULL"),
              kJetIndexNull);
    ExecuteStatement(fs, *db, "CREATE UNIQUE INDEX Codigo ON Table1 (CD_AGENTE)");
    EXPECT_EQ(FaultText(*db), "");
    auto table = db->Table("Table1");
    ASSERT_EQ(table->logical_indexes.size(), 3u);
    ASSERT_EQ(table->real_indexes.size(), 3u);
    const auto& agentes = IndexNamed(*table, "Agentes");
    EXPECT_EQ(agentes.flags, 0);
    EXPECT_EQ(agentes.counter_a, 512u);
    EXPECT_EQ(IndexNamed(*table, "Codigo").flags, jet::kIndexUnique);
    EXPECT_EQ(IndexEntries(*db, *table, agentes).size(), 512u);

    // Appends after the creation go into the new indexes too.
    db->pager().BeginDeferredWrites();
    jet::PageAllocator allocator(*db);
    jet::TableWriter writer(*db, allocator, table);
    for (int i = 0; i < 300; ++i) {
      writer.Append({Value::Long(100000 + i), Value::Text("Agencia Ñúñez " + std::to_string(i)),
                     Value::Text("¿dónde? " + std::to_string(i % 7))});
    }
    try {
      writer.Append({Value::Long(100000), Value::Text("x"), Value::Text("y")});
      ADD_FAILURE() << "the new unique index let a duplicate in";
    } catch (const act::Error& e) {
      EXPECT_EQ(e.number(), kJetDuplicateKey);
      EXPECT_NE(std::string(e.what()).find("Codigo"), std::string::npos) << e.what();
    }
    writer.Finish();
    db->pager().FlushWrites();
  }
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_EQ(FaultText(db), "");
  auto table = db.Table("Table1");
  const auto& agentes = IndexNamed(*table, "Agentes");
  std::vector<Value> row = {Value::Long(100005), Value::Text("agencia ÑÚÑEZ 5"),
                            Value::Text("¿dónde? 5")};
  jet::RealIndex current = agentes;
  current.root = jet::ReadIndexState(db, *table, agentes).root;
  auto found = jet::IndexReader(db.pager(), db.format(), *table, current)
                   .Find(jet::EncodeIndexKey(db.format(), *table, agentes, row));
  EXPECT_EQ(found.size(), 1u);
  if (HaveCommand("mdb-export")) {
    EXPECT_EQ(MdbExportRowCount(path, "Table1"), 812);
  }
}

TEST(CreateIndex, RefusedIndexesLeaveTheFileUnchanged) {
  std::string dir = ScratchDir("dbindex_create_refused");
  std::string path = CopySample("jet3/testIndexCodesV1997.mdb", dir, "refused.mdb");
  HostFileSystem fs;
  std::vector<uint8_t> before = ReadHostFile(path);
  {
    auto db = OpenForWrite(fs, path);
    // Table1's data column repeats values (149 distinct keys over 275 rows).
    EXPECT_EQ(Refusal(fs, *db, "CREATE UNIQUE INDEX u ON Table1 (data)"), kJetDuplicateKey);
    EXPECT_EQ(Refusal(fs, *db, "CREATE INDEX p ON Table2 (data) WITH PRIMARY"), 3283);
    EXPECT_EQ(Refusal(fs, *db, "CREATE INDEX DataIndex ON Table2 (data)"), 3375);
    EXPECT_EQ(Refusal(fs, *db, "CREATE INDEX x ON Table2 (nothing)"), kJetItemNotFound);
  }
  EXPECT_TRUE(ReadHostFile(path) == before) << "a refused CREATE INDEX changed the file";
}

TEST(CreateIndex, SameColumnsAndFlagsShareTheRealIndex) {
  std::string dir = ScratchDir("dbindex_create_shared");
  std::string path = CopySample("jet3/testIndexCodesV1997.mdb", dir, "shared.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  ExecuteStatement(fs, *db, "CREATE UNIQUE INDEX Nombre ON Table2 (name) WITH DISALLOW NULL");
  auto table = db->Table("Table2");
  EXPECT_EQ(table->real_indexes.size(), 2u);
  EXPECT_EQ(table->logical_indexes.size(), 3u);
  EXPECT_EQ(&IndexNamed(*table, "Nombre"), &IndexNamed(*table, "PrimaryKey"));
  EXPECT_EQ(FaultText(*db), "");
}

}  // namespace
}  // namespace act::db::testing
