// Table definitions longer than one page. Access continues such a TDEF on
// linked pages (each starting 02 01 'VC' + the next page); CREATE TABLE and
// CREATE INDEX write them so, the row writer patches index roots and
// counters wherever they fall in the chain, and mdbtools and mdb-reader
// read the tables back. The consistency check covers the global map: every
// continuation page is in use there, none is free.
#include <gtest/gtest.h>

#include <cstring>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

constexpr int kColumns = 120;  // besides the counter
constexpr int kRowsBeforeIndexes = 150;
constexpr int kRowsAfterIndexes = 60;

std::string FaultText(jet::Database& db) {
  std::string all;
  for (const auto& f : jet::Faults(jet::CheckDatabase(db))) all += f.text() + "\n";
  return all;
}

int ErrorOf(HostFileSystem& fs, jet::Database& db, const std::string& sql) {
  try {
    ExecuteStatement(fs, db, sql);
  } catch (const act::Error& e) {
    return e.number();
  }
  return 0;
}

// Column i (1-based) of the wide table: its name and kind.
std::string WideName(int i) {
  char n[8];
  std::snprintf(n, sizeof n, "%03d", i);
  return "columna_con_un_nombre_bastante_largo_para_ocupar_sitio_" + std::string(n);
}
enum class Kind { kText, kLong, kBit, kMemo };
Kind KindOf(int i) {
  if (i % 10 == 0) return Kind::kMemo;
  if (i % 7 == 0) return Kind::kBit;
  if (i % 3 == 0) return Kind::kLong;
  return Kind::kText;
}

// The value row r gets in column i; Null in a few places.
Value WideValue(int r, int i) {
  if ((r + i) % 13 == 0 && KindOf(i) != Kind::kBit) return Value();
  switch (KindOf(i)) {
    case Kind::kText: return Value::Text("f" + std::to_string(r) + "c" + std::to_string(i));
    case Kind::kLong: return Value::Long(r * 1000 + i);
    case Kind::kBit: return Value::Boolean((r + i) % 2 == 0);
    case Kind::kMemo:
      return Value::Text(std::string(r % 4 == 0 ? 2500 : 40, char('a' + (r + i) % 26)));
  }
  return Value();
}

std::string Literal(const Value& v) {
  if (v.is_null()) return "Null";
  if (v.kind() == Value::Kind::kBoolean) return v == Value::Boolean(true) ? "TRUE" : "FALSE";
  if (v.kind() == Value::Kind::kLong) return std::to_string(v.integer());
  return "'" + v.bytes() + "'";
}

std::string InsertRow(int r) {
  std::string names, values;
  for (int i = 1; i <= kColumns; ++i) {
    names += (i > 1 ? ", " : "") + WideName(i);
    values += (i > 1 ? ", " : "") + Literal(WideValue(r, i));
  }
  return "INSERT INTO ancho (" + names + ") VALUES (" + values + ")";
}

// mdb-reader's form of a value (tests/tools/dump.mjs) for the kinds used here.
std::string ReaderForm(const Value& v) {
  if (v.is_null()) return "N";
  if (v.kind() == Value::Kind::kBoolean) return v == Value::Boolean(true) ? "B:1" : "B:0";
  if (v.kind() == Value::Kind::kLong) {
    double d = double(v.integer());
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(bits));
    return "D:" + std::string(hex);
  }
  std::string out = "S:";
  for (unsigned char c : v.bytes()) {
    char h[3];
    std::snprintf(h, sizeof h, "%02x", c);
    out += h;
  }
  return out;
}

void ExpectContinuationChain(jet::Database& db, const jet::TableDefinition& table) {
  for (size_t k = 0; k < table.pages.size(); ++k) {
    auto page = db.pager().Get(table.pages[k]);
    EXPECT_EQ(0x02, page->U8(0));
    EXPECT_EQ(0x01, page->U8(1));
    EXPECT_EQ('V', page->U8(2));
    EXPECT_EQ('C', page->U8(3));
    EXPECT_EQ(k + 1 < table.pages.size() ? table.pages[k + 1] : 0u, page->U32(4));
  }
}

TEST(LongDefinition, WideTableRoundTrip) {
  std::string dir = ScratchDir("long_tdef_wide");
  HostFileSystem fs;
  std::string path = dir + "/ancho.mdb";
  jet::CreateDatabase(fs, path);
  std::string create = "CREATE TABLE ancho (id COUNTER";
  for (int i = 1; i <= kColumns; ++i) {
    const char* type = KindOf(i) == Kind::kMemo ? "MEMO"
                       : KindOf(i) == Kind::kBit ? "BIT"
                       : KindOf(i) == Kind::kLong ? "LONG"
                                                  : "TEXT(20)";
    create += ", " + WideName(i) + " " + type;
  }
  create += ", CONSTRAINT pk PRIMARY KEY (id)";
  for (int i : {1, 2, 4, 5, 8}) {
    create += ", CONSTRAINT unico_" + std::to_string(i) + " UNIQUE (" + WideName(i) + ")";
  }
  create += ")";
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, create);
    auto table = db->Table("ancho");
    EXPECT_GT(table->definition_length, 2u * db->pager().page_size());
    EXPECT_GE(table->pages.size(), 3u);
    ASSERT_EQ(size_t(kColumns + 1), table->columns.size());
    EXPECT_EQ(WideName(kColumns), table->columns.back().name);
    ExpectContinuationChain(*db, *table);
    EXPECT_EQ("", FaultText(*db));

    for (int r = 0; r < kRowsBeforeIndexes; ++r) ExecuteStatement(fs, *db, InsertRow(r));
    // Indexes added to the existing rows: their descriptors land on the
    // continuation pages, which the definition grows into.
    ExecuteStatement(fs, *db, "CREATE INDEX por_3 ON ancho (" + WideName(3) + " DESC)");
    ExecuteStatement(fs, *db, "CREATE UNIQUE INDEX por_118 ON ancho (" + WideName(118) + ")");
    ExecuteStatement(fs, *db, "CREATE INDEX por_dos ON ancho (" + WideName(11) + ", " +
                                  WideName(12) + ")");
    for (int r = kRowsBeforeIndexes; r < kRowsBeforeIndexes + kRowsAfterIndexes; ++r) {
      ExecuteStatement(fs, *db, InsertRow(r));
    }
    // A unique index whose descriptor is on a continuation page still refuses.
    std::string duplicate = InsertRow(0);
    EXPECT_EQ(kJetDuplicateKey, ErrorOf(fs, *db, duplicate));
    ExpectContinuationChain(*db, *db->Table("ancho"));
    EXPECT_EQ("", FaultText(*db));
  }

  const int rows = kRowsBeforeIndexes + kRowsAfterIndexes;
  jet::Database db(std::make_unique<HostFile>(path));
  auto table = db.Table("ancho");
  EXPECT_EQ(uint32_t(rows), table->row_count);
  EXPECT_EQ(9u, table->logical_indexes.size());  // primary key, 5 unique, 3 added
  std::vector<std::string> expected_reader;
  {
    jet::TableScan scan(db.pager(), db.format(), *table);
    int r = 0;
    while (scan.Next()) {
      EXPECT_EQ(Value::Long(r + 1), scan.Get(0));
      std::string line = ReaderForm(scan.Get(0));
      for (int i = 1; i <= kColumns; ++i) {
        EXPECT_EQ(WideValue(r, i), scan.Get(i)) << "row " << r << " column " << i;
        line += "\t" + ReaderForm(WideValue(r, i));
      }
      expected_reader.push_back(line);
      ++r;
    }
    EXPECT_EQ(rows, r);
  }
  EXPECT_EQ("", FaultText(db));

  ACT_REQUIRE_TOOL("mdb-export");
  EXPECT_EQ(RenderLikeMdbExport(db, "ancho"), RunCommand("mdb-export '" + path + "' ancho").out);
  CommandOutput schema = RunCommand("mdb-schema '" + path + "' 2>/dev/null");
  size_t listed = 0;
  for (size_t at = schema.out.find("\t\t\t"); at != std::string::npos;
       at = schema.out.find("\t\t\t", at + 1)) {
    ++listed;
  }
  EXPECT_EQ(size_t(kColumns + 1), listed) << schema.out;
  EXPECT_NE(std::string::npos, schema.out.find("[" + WideName(118) + "]\t\t\tText (20)"))
      << schema.out;
  bool have_reader = false, failed = false;
  auto read = MdbReaderRows(path, "ancho", &have_reader, &failed);
  EXPECT_TRUE(have_reader) << "mdb-reader is missing: scripts/install-deps.sh installs it";
  EXPECT_FALSE(failed);
  EXPECT_EQ(expected_reader, read);
}

TEST(LongDefinition, IndexesGrowADefinitionOntoANewPage) {
  std::string dir = ScratchDir("long_tdef_grow");
  HostFileSystem fs;
  std::string path = dir + "/crece.mdb";
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  std::string create = "CREATE TABLE crece (id COUNTER PRIMARY KEY";
  for (int i = 1; i <= 20; ++i) create += ", " + WideName(i) + " TEXT(20)";
  ExecuteStatement(fs, *db, create + ")");
  ASSERT_EQ(1u, db->Table("crece")->pages.size());
  uint32_t pages_before = db->pager().page_count();
  for (int r = 0; r < 40; ++r) {
    ExecuteStatement(fs, *db, "INSERT INTO crece (" + WideName(1) + ", " + WideName(20) +
                                  ") VALUES ('a" + std::to_string(r) + "', 'z" +
                                  std::to_string(r % 7) + "')");
  }
  for (int i = 1; i <= 20; ++i) {
    ExecuteStatement(fs, *db, "CREATE INDEX indice_de_nombre_largo_para_la_columna_" +
                                  std::to_string(i) + " ON crece (" + WideName(i) + ")");
  }
  auto table = db->Table("crece");
  EXPECT_GE(table->pages.size(), 2u);
  EXPECT_GT(table->definition_length, uint32_t(db->pager().page_size()));
  ExpectContinuationChain(*db, *table);
  EXPECT_GT(db->pager().page_count(), pages_before);
  for (int r = 40; r < 80; ++r) {
    ExecuteStatement(fs, *db, "INSERT INTO crece (" + WideName(1) + ", " + WideName(20) +
                                  ") VALUES ('a" + std::to_string(r) + "', 'z" +
                                  std::to_string(r % 7) + "')");
  }
  EXPECT_EQ(80u, db->Table("crece")->row_count);
  EXPECT_EQ("", FaultText(*db));
  db.reset();
  ACT_REQUIRE_TOOL("mdb-export");
  jet::Database reread(std::make_unique<HostFile>(path));
  EXPECT_EQ(RenderLikeMdbExport(reread, "crece"), RunCommand("mdb-export '" + path + "' crece").out);
  bool have_reader = false, failed = false;
  auto read = MdbReaderRows(path, "crece", &have_reader, &failed);
  EXPECT_TRUE(have_reader) << "mdb-reader is missing: scripts/install-deps.sh installs it";
  EXPECT_FALSE(failed);
  EXPECT_EQ(80u, read.size());
}

TEST(LongDefinition, AccessContinuedDefinitionTakesAnIndexAndRows) {
  // Table2 of this sample has 89 columns on a TDEF Access continued from
  // page 34 to page 44.
  std::string dir = ScratchDir("long_tdef_access");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "copia.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    ASSERT_EQ(2u, db->Table("Table2")->pages.size());
    ExecuteStatement(fs, *db, "CREATE UNIQUE INDEX ultima ON Table2 (column89)");
    for (int r = 0; r < 50; ++r) {
      ExecuteStatement(fs, *db, "INSERT INTO Table2 (column1, column45, column89) VALUES ('uno " +
                                    std::to_string(r) + "', 'medio', 'fin " +
                                    std::to_string(r) + "')");
    }
    EXPECT_EQ(kJetDuplicateKey,
              ErrorOf(fs, *db, "INSERT INTO Table2 (column1, column89) VALUES ('otro', 'FIN 7')"));
    auto table = db->Table("Table2");
    EXPECT_EQ(50u, table->row_count);
    ExpectContinuationChain(*db, *table);
    EXPECT_EQ("", FaultText(*db));
  }
  ACT_REQUIRE_TOOL("mdb-export");
  EXPECT_EQ(50, MdbExportRowCount(path, "Table2"));
  jet::Database reread(std::make_unique<HostFile>(path));
  EXPECT_EQ(RenderLikeMdbExport(reread, "Table2"),
            RunCommand("mdb-export '" + path + "' Table2").out);
  bool have_reader = false, failed = false;
  auto read = MdbReaderRows(path, "Table2", &have_reader, &failed);
  EXPECT_TRUE(have_reader) << "mdb-reader is missing: scripts/install-deps.sh installs it";
  EXPECT_FALSE(failed);
  EXPECT_EQ(50u, read.size());
}

TEST(LongDefinition, RefusesMoreThanJetHolds) {
  std::string dir = ScratchDir("long_tdef_refuse");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  std::vector<uint8_t> before = ReadHostFile(path);
  auto db = OpenForWrite(fs, path);
  std::string create = "CREATE TABLE t (c0 LONG";
  for (int i = 1; i < 256; ++i) create += ", c" + std::to_string(i) + " LONG";
  EXPECT_EQ(kJetOperationNotSupported, ErrorOf(fs, *db, create + ")"));
  create = "CREATE TABLE t (c0 LONG";
  for (int i = 1; i <= 33; ++i) {
    create += ", c" + std::to_string(i) + " LONG CONSTRAINT u" + std::to_string(i) + " UNIQUE";
  }
  EXPECT_EQ(kJetOperationNotSupported, ErrorOf(fs, *db, create + ")"));
  db.reset();
  EXPECT_EQ(before, ReadHostFile(path));
}

}  // namespace
}  // namespace act::db::testing
