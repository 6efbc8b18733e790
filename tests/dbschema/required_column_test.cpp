// NOT NULL outside a primary key: CREATE TABLE stores the column the way
// Access stores a Required column in a Jet 3 file (the Required property in
// the property blob of the table's catalog row; the TDEF column looks like
// any other), mdbtools reads it back as NOT NULL, and the engine refuses a
// Null there on every write: in tables it built and, through the property
// Access itself wrote, in an Access file.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/table/catalog.h"
#include "db/jet/table/column_properties.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"
#include "db/sql/printer.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/dbwrite/write_fixture.h"
#include "tools/jetsql/schema.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

const char* kCreateClients =
    "CREATE TABLE clientes (id COUNTER PRIMARY KEY, nombre TEXT(50) NOT NULL, ciudad TEXT(30), "
    "saldo CURRENCY NOT NULL, alta DATETIME, nota MEMO NOT NULL)";

std::string FaultText(jet::Database& db) {
  std::string all;
  for (const auto& f : jet::Faults(jet::CheckDatabase(db))) all += f.text() + "\n";
  return all;
}

int ErrorOf(HostFileSystem& fs, jet::Database& db, const std::string& sql,
            std::string* text = nullptr) {
  try {
    ExecuteStatement(fs, db, sql);
  } catch (const act::Error& e) {
    if (text) *text = e.text();
    return e.number();
  }
  return 0;
}

std::vector<std::vector<Value>> Rows(jet::Database& db, const std::string& table) {
  auto def = db.Table(table);
  std::vector<std::vector<Value>> rows;
  jet::TableScan scan(db.pager(), db.format(), *def);
  while (scan.Next()) {
    rows.emplace_back();
    for (size_t i = 0; i < def->columns.size(); ++i) rows.back().push_back(scan.Get(i));
  }
  return rows;
}

std::string SchemaOf(jet::Database& db, const std::string& table) {
  return sql::ToSql(jetsql::TableSchema(db, table).front());
}

// The part of `text` from the line "name: <column>" to the next blank line
// (one column's block in mdb-prop's listing).
std::string PropBlock(const std::string& text, const std::string& column) {
  size_t at = text.find("name: " + column + "\n");
  if (at == std::string::npos) return "";
  size_t end = text.find("\n\n", at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(RequiredColumn, CreateTableStoresItAsAccessDoes) {
  std::string dir = ScratchDir("required_create");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, kCreateClients);
    auto table = db->Table("clientes");
    auto props = jet::ReadColumnProperties(*db, table->page);
    EXPECT_TRUE(props["nombre"].required);
    EXPECT_TRUE(props["saldo"].required);
    EXPECT_TRUE(props["nota"].required);
    EXPECT_FALSE(props["ciudad"].required);
    EXPECT_FALSE(props["id"].required);  // the primary key's index refuses Null itself
    // Access keeps the column descriptor of a Required column as any other.
    EXPECT_EQ(0x02, table->FindColumn("nombre")->flags);
    EXPECT_EQ(0x03, table->FindColumn("saldo")->flags);
    EXPECT_EQ(
        "CREATE TABLE [clientes] ([id] COUNTER, [nombre] TEXT(50) NOT NULL, [ciudad] TEXT(30), "
        "[saldo] CURRENCY NOT NULL, [alta] DATETIME, [nota] MEMO NOT NULL)",
        SchemaOf(*db, "clientes"));
    EXPECT_EQ("", FaultText(*db));
  }
  ACT_REQUIRE_TOOL("mdb-schema");
  CommandOutput schema = RunCommand("mdb-schema '" + path + "' 2>/dev/null");
  EXPECT_NE(std::string::npos, schema.out.find("[nombre]\t\t\tText (50) NOT NULL,")) << schema.out;
  EXPECT_NE(std::string::npos, schema.out.find("[saldo]\t\t\tCurrency NOT NULL,")) << schema.out;
  EXPECT_NE(std::string::npos, schema.out.find("[nota]\t\t\tMemo/Hyperlink (255) NOT NULL"))
      << schema.out;
  EXPECT_NE(std::string::npos, schema.out.find("[ciudad]\t\t\tText (30),")) << schema.out;
  CommandOutput prop = RunCommand("mdb-prop '" + path + "' clientes 2>/dev/null");
  EXPECT_NE(std::string::npos, PropBlock(prop.out, "nombre").find("Required: yes")) << prop.out;
  EXPECT_EQ("", PropBlock(prop.out, "ciudad")) << prop.out;
}

TEST(RequiredColumn, NullIsRefusedOnEveryWrite) {
  std::string dir = ScratchDir("required_refuse");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  ExecuteStatement(fs, *db, kCreateClients);
  ExecuteStatement(fs, *db, "CREATE TABLE entrada (nombre TEXT(50), saldo CURRENCY, nota MEMO)");
  const char* rows[][3] = {{"'Ana'", "10", "'a'"},   {"Null", "20", "'b'"},
                           {"'Luis'", "Null", "'c'"}, {"'Eva'", "40", "'d'"},
                           {"'Pía'", "50", "Null"},  {"'Óscar'", "60", "'f'"}};
  for (const auto& r : rows) {
    ExecuteStatement(fs, *db,
                     std::string("INSERT INTO entrada (nombre, saldo, nota) VALUES (") + r[0] +
                         ", " + r[1] + ", " + r[2] + ")");
  }

  // A single row with a Null in a required column is an error.
  std::string text;
  EXPECT_EQ(kJetNullInRequired,
            ErrorOf(fs, *db, "INSERT INTO clientes (saldo, nota) VALUES (1, 'x')", &text));
  EXPECT_EQ("The field 'clientes.nombre' can't contain a Null value because the Required "
            "property for this field is set to True",
            text);
  EXPECT_EQ(kJetNullInRequired,
            ErrorOf(fs, *db, "INSERT INTO clientes (nombre, saldo) VALUES ('x', 1)"));
  EXPECT_TRUE(Rows(*db, "clientes").empty());

  // INSERT ... SELECT leaves such rows out and counts them.
  auto copied = ExecuteStatement(fs, *db, "INSERT INTO clientes SELECT * FROM entrada");
  EXPECT_EQ(3, copied.changed);
  EXPECT_EQ(3, copied.refused_rule);
  auto kept = Rows(*db, "clientes");
  ASSERT_EQ(3u, kept.size());
  EXPECT_EQ(Value::Text("Ana"), kept[0][1]);
  EXPECT_EQ(Value::Text("Eva"), kept[1][1]);
  EXPECT_EQ(Value::Text("Óscar"), kept[2][1]);

  // An UPDATE to Null changes no row: each refusal is counted, as Execute
  // without dbFailOnError does.
  auto update = ExecuteStatement(fs, *db, "UPDATE clientes SET nombre = Null WHERE saldo > 30");
  EXPECT_EQ(0, update.changed);
  EXPECT_EQ(2, update.refused_rule);
  update = ExecuteStatement(fs, *db, "UPDATE clientes SET ciudad = Null, saldo = 7");
  EXPECT_EQ(3, update.changed);
  EXPECT_EQ(kept.size(), Rows(*db, "clientes").size());
  EXPECT_EQ(Value::Text("Eva"), Rows(*db, "clientes")[1][1]);

  // The row writer itself refuses the change with Jet's error.
  {
    auto table = db->Table("clientes");
    std::vector<Value> old_values;
    jet::RowPointer where{};
    {
      jet::TableScan scan(db->pager(), db->format(), *table);
      ASSERT_TRUE(scan.Next());
      for (size_t i = 0; i < table->columns.size(); ++i) old_values.push_back(scan.Get(i));
      where = scan.position();
    }
    std::vector<Value> new_values = old_values;
    new_values[3] = Value();  // saldo
    db->pager().BeginDeferredWrites();
    jet::PageAllocator allocator(*db);
    jet::TableWriter writer(*db, allocator, table);
    try {
      writer.Update(where, old_values, new_values);
      ADD_FAILURE() << "Null stored in a required column";
    } catch (const act::Error& e) {
      EXPECT_EQ(kJetNullInRequired, e.number());
      EXPECT_NE(std::string::npos, e.text().find("'clientes.saldo'")) << e.text();
    }
    db->pager().DiscardWrites();
    db->Reload();
  }
  // A counter declared NOT NULL takes its next value before the check.
  ExecuteStatement(fs, *db, "CREATE TABLE pedidos (n COUNTER NOT NULL, cliente TEXT(10))");
  ExecuteStatement(fs, *db, "INSERT INTO pedidos (cliente) VALUES ('Ana')");
  ASSERT_EQ(1u, Rows(*db, "pedidos").size());
  EXPECT_EQ(Value::Long(1), Rows(*db, "pedidos")[0][0]);
  EXPECT_EQ("", FaultText(*db));
  db.reset();
  ACT_REQUIRE_TOOL("mdb-export");
  EXPECT_EQ(3, MdbExportRowCount(path, "clientes"));
  jet::Database reread(std::make_unique<HostFile>(path));
  EXPECT_EQ(RenderLikeMdbExport(reread, "clientes"),
            RunCommand("mdb-export '" + path + "' clientes").out);
  bool have_reader = false, failed = false;
  auto read = MdbReaderRows(path, "clientes", &have_reader, &failed);
  EXPECT_TRUE(have_reader) << "mdb-reader is missing: scripts/install-deps.sh installs it";
  EXPECT_FALSE(failed);
  EXPECT_EQ(3u, read.size());
}

// The offset, inside an Access "KKD" property blob, of the value byte of
// `column`'s Required entry (0 when absent).
size_t RequiredValueOffset(const std::string& blob, const std::string& column) {
  auto u16 = [&](size_t at) { return size_t(uint8_t(blob[at])) | size_t(uint8_t(blob[at + 1])) << 8; };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::vector<std::string> names;
  for (size_t pos = 4; pos + 6 <= blob.size();) {
    size_t end = pos + u32(pos);
    if (u16(pos + 4) == 0x80) {
      for (size_t p = pos + 6; p + 2 <= end; p += 2 + u16(p)) names.push_back(blob.substr(p + 2, u16(p)));
    } else if (u16(pos + 4) == 0x01 && blob.substr(pos + 12, u16(pos + 10)) == column) {
      for (size_t p = pos + 6 + u32(pos + 6); p + 8 <= end; p += u16(p)) {
        if (names.at(u16(p + 4)) == "Required") return p + 8;
      }
    }
    pos = end;
  }
  return 0;
}

TEST(RequiredColumn, AccessWrittenPropertyIsEnforced) {
  // No sample has a Required column, but every column of every Access table
  // carries the property (False). Setting the byte Access wrote is what
  // ticking "Required" in Access's table design does to the blob.
  std::string dir = ScratchDir("required_access");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "copia.mdb");
  std::string blob;
  {
    jet::Database db(std::make_unique<HostFile>(path));
    auto objects = db.Table("MSysObjects");
    jet::TableScan scan(db.pager(), db.format(), *objects);
    while (scan.Next()) {
      if (scan.Get(2) == Value::Text("Table1") && scan.Get(1) == Value::Long(jet::kTablesContainerId)) {
        blob = scan.Get(14).bytes();
      }
    }
  }
  size_t value_at = RequiredValueOffset(blob, "B");
  ASSERT_NE(0u, value_at);
  ASSERT_EQ(0, blob[value_at]);
  std::vector<uint8_t> file = ReadHostFile(path);
  const std::vector<uint8_t> stored(blob.begin(), blob.end());
  auto found = std::search(file.begin(), file.end(), stored.begin(), stored.end());
  ASSERT_NE(file.end(), found);
  ASSERT_EQ(file.end(), std::search(found + 1, file.end(), stored.begin(), stored.end()));
  *(found + value_at) = 1;
  WriteHostFile(path, file);

  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    EXPECT_NE(std::string::npos, SchemaOf(*db, "Table1").find("[B] TEXT(100) NOT NULL"))
        << SchemaOf(*db, "Table1");
    auto before = Rows(*db, "Table1");
    EXPECT_EQ(kJetNullInRequired, ErrorOf(fs, *db, "INSERT INTO Table1 (A) VALUES ('nuevo')"));
    auto update = ExecuteStatement(fs, *db, "UPDATE Table1 SET B = Null");
    EXPECT_EQ(0, update.changed);
    EXPECT_EQ(int64_t(before.size()), update.refused_rule);
    EXPECT_EQ(before, Rows(*db, "Table1"));
    ExecuteStatement(fs, *db, "INSERT INTO Table1 (A, B) VALUES ('nuevo', 'con valor')");
    EXPECT_EQ(before.size() + 1, Rows(*db, "Table1").size());
    EXPECT_EQ("", FaultText(*db));
  }
  ACT_REQUIRE_TOOL("mdb-schema");
  CommandOutput schema = RunCommand("mdb-schema -T Table1 '" + path + "' 2>/dev/null");
  EXPECT_NE(std::string::npos, schema.out.find("[B]\t\t\tText (100) NOT NULL,")) << schema.out;
  EXPECT_NE(std::string::npos, schema.out.find("[A]\t\t\tText (50),")) << schema.out;
}

}  // namespace
}  // namespace act::db::testing
