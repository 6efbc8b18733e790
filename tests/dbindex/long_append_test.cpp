// A long INSERT ... IN ... SELECT with refusals scattered through it: the
// statement reads ahead of its writes, so each row's fate must still be the
// one it has when the rows are taken one at a time, in order. A model of the
// destination's rules (required value, numbers that convert, unique title,
// counter key) says which rows go in, and with which counter value; the file
// must hold exactly those and pass the consistency check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/exec/statement_executor.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"
#include "platform/error.h"
#include "tests/db/host_file.h"
#include "tests/dbindex/index_test_util.h"
#include "tests/dbwrite/write_fixture.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

constexpr int kSourceRows = 3000;
constexpr int kKeptRows = 50;
constexpr int32_t kFirstKeptId = 100001;

struct SourceRow {
  int32_t id;
  std::string titulo;
  std::optional<std::string> n;  // Null when absent
  std::string nota;
};

std::string Title(int i) {
  static const char* words[] = {"Canción", "Corazón", "Mañana", "Pingüino", "Años", "Ébano"};
  return std::string(words[i % 6]) + " número " + std::to_string(i);
}

// Rows whose refusals come in every combination, spread over many batches.
std::vector<SourceRow> SourceRows() {
  std::vector<SourceRow> rows;
  for (int i = 0; i < kSourceRows; ++i) {
    SourceRow r{i + 1, Title(i), std::to_string(i * 3), "nota " + std::to_string(i)};
    if (i % 7 == 3) r.titulo = Title(i - 3);                   // an earlier row's title
    if (i % 11 == 5) r.titulo = "Guardada " + std::to_string(i % kKeptRows);  // a kept row's
    if (i % 19 == 2) r.id = kFirstKeptId + i % kKeptRows;      // a kept row's key
    if (i % 13 == 4) r.n = "x" + std::to_string(i);            // no number
    if (i % 17 == 6) r.n.reset();                              // required, missing
    rows.push_back(r);
  }
  return rows;
}

struct Expected {
  std::map<int32_t, std::pair<std::string, int32_t>> rows;  // id -> titulo, n
  StatementCounts result;
};

// The destination's rules applied one row at a time, in the order the
// engine checks them: conversion, required columns, then the keys.
Expected Model(const std::vector<SourceRow>& source, bool copy_ids) {
  Expected e;
  std::set<int32_t> ids;
  std::set<std::string> titles;
  for (int k = 0; k < kKeptRows; ++k) {
    e.rows[kFirstKeptId + k] = {"Guardada " + std::to_string(k), k};
    ids.insert(kFirstKeptId + k);
    titles.insert("Guardada " + std::to_string(k));
  }
  int32_t next_id = kFirstKeptId + kKeptRows;
  for (const SourceRow& r : source) {
    if (r.n && r.n->front() == 'x') {
      ++e.result.refused_value;
    } else if (!r.n) {
      ++e.result.refused_rule;
    } else if (titles.count(r.titulo) || (copy_ids && ids.count(r.id))) {
      ++e.result.refused_key;
    } else {
      const int32_t id = copy_ids ? r.id : next_id++;
      ids.insert(id);
      titles.insert(r.titulo);
      e.rows[id] = {r.titulo, std::stoi(*r.n)};
      ++e.result.changed;
    }
  }
  return e;
}

void MakeSource(HostFileSystem& fs, const std::string& path, const std::vector<SourceRow>& rows) {
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  ExecuteStatement(fs, *db, "CREATE TABLE canciones (id LONG, titulo TEXT(60), n TEXT(12), "
                            "nota TEXT(30))");
  db->Reload();
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table("canciones"));
  for (const SourceRow& r : rows) {
    writer.Append({Value::Long(r.id), Value::Text(r.titulo),
                   r.n ? Value::Text(*r.n) : Value::Null(), Value::Text(r.nota)});
  }
  writer.Finish();
  db->pager().FlushWrites();
}

void MakeDestination(HostFileSystem& fs, const std::string& path) {
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  ExecuteStatement(fs, *db, "CREATE TABLE canciones (id COUNTER PRIMARY KEY, "
                            "titulo TEXT(60) UNIQUE, n LONG NOT NULL, nota TEXT(30))");
  for (int k = 0; k < kKeptRows; ++k) {
    ExecuteStatement(fs, *db, "INSERT INTO canciones (id, titulo, n) VALUES (" +
                                  std::to_string(kFirstKeptId + k) + ", 'Guardada " +
                                  std::to_string(k) + "', " + std::to_string(k) + ")");
  }
}

void ExpectHolds(const std::string& path, HostFileSystem& fs, const Expected& expected) {
  auto db = OpenForWrite(fs, path);
  EXPECT_EQ(FaultText(*db), "");
  std::map<int32_t, std::pair<std::string, int32_t>> found;
  for (const TableRow& row : ReadRows(*db, *db->Table("canciones"))) {
    found[int32_t(row.values[0].integer())] = {row.values[1].bytes(), int32_t(row.values[2].integer())};
  }
  EXPECT_EQ(found.size(), expected.rows.size());
  EXPECT_TRUE(found == expected.rows);
  for (const auto& [id, row] : expected.rows) {
    auto it = found.find(id);
    if (it == found.end() || it->second != row) {
      ADD_FAILURE() << "first difference at id " << id << ": expected " << row.first;
      break;
    }
  }
}

void ExpectCounts(const StatementCounts& got, const StatementCounts& want) {
  EXPECT_EQ(got.changed, want.changed);
  EXPECT_EQ(got.refused_value, want.refused_value);
  EXPECT_EQ(got.refused_key, want.refused_key);
  EXPECT_EQ(got.refused_rule, want.refused_rule);
}

// Runs "<insert> IN '<destination>' <select>" from a fresh source into a
// fresh destination, and holds the outcome to the model.
void ExpectModelOutcome(const std::string& name, const std::string& insert,
                        const std::string& select, bool copy_ids,
                        const std::vector<SourceRow>& rows = SourceRows()) {
  std::string dir = ScratchDir(name);
  HostFileSystem fs;
  MakeSource(fs, dir + "/datos.mdb", rows);
  MakeDestination(fs, dir + "/datos.new");
  const Expected expected = Model(rows, copy_ids);
  ASSERT_GT(expected.result.refused_key, 300);
  ASSERT_GT(expected.result.refused_value, 100);
  ASSERT_GT(expected.result.refused_rule, 100);
  {
    auto db = OpenForWrite(fs, dir + "/datos.mdb");
    ExpectCounts(ExecuteStatement(fs, *db, insert + " IN '" + dir + "/datos.new' " + select),
                 expected.result);
  }
  ExpectHolds(dir + "/datos.new", fs, expected);
}

// Rows ready in advance: their counters are copied.
TEST(LongAppend, CopiedCountersEachRowKeepsItsOwnFate) {
  ExpectModelOutcome("dbindex_long_append_ids", "INSERT INTO canciones",
                     "SELECT * FROM canciones", true);
}

// Rows the writer completes itself: each takes the next counter value.
TEST(LongAppend, NewCounterValuesFollowTheRowsThatGoIn) {
  ExpectModelOutcome("dbindex_long_append_counter", "INSERT INTO canciones (titulo, n, nota)",
                     "SELECT titulo, n, nota FROM canciones", false);
}

// Titles in no order over a unique index of many leaves: once the index
// outgrows the pages its tree starts by keeping, nearly every lookup reads
// a leaf back from the pager, and the tree keeps more of them from then on.
// Rows refused along the way (repeated titles, an earlier row's or a kept
// one's) must be exactly those the model refuses.
TEST(LongAppend, TitlesInNoOrderOverManyLeaves) {
  constexpr int kRows = 30000;
  std::vector<SourceRow> rows = SourceRows();
  rows.reserve(kRows);
  for (int i = kSourceRows; i < kRows; ++i) {
    // 29989 is prime: i * 7919 runs over its residues in no order.
    const int scattered = int((int64_t(i) * 7919) % 29989);
    SourceRow r{i + 1, Title(scattered), std::to_string(i), "nota"};
    if (i % 9 == 4) r.titulo = rows[size_t(i - 1 - i % 500)].titulo;
    rows.push_back(r);
  }
  ExpectModelOutcome("dbindex_long_append_scattered", "INSERT INTO canciones",
                     "SELECT * FROM canciones", true, rows);
}

// Keys in order for most of a long append, above those the table holds:
// the append writes those rows without counting the keys first. The rows
// that break the order come late, after the file was flushed part-way, and
// from them on every row must still meet the fate the model gives it.
TEST(LongAppend, KeysInOrderUntilLateRows) {
  constexpr int kInOrder = 60000;
  constexpr int kLate = 1200;
  std::vector<SourceRow> rows;
  rows.reserve(kInOrder + kLate);
  for (int i = 0; i < kInOrder; ++i) {
    char title[32];
    std::snprintf(title, sizeof title, "Zeta %06d", i);
    rows.push_back({200001 + i, title, std::to_string(i), "nota"});
  }
  for (int i = 0; i < kLate; ++i) {
    SourceRow r{200001 + kInOrder + i, "Zeta tardía " + std::to_string(i), std::to_string(i),
                "nota"};
    if (i % 3 == 0) r.titulo = rows[size_t(i * 31 % kInOrder)].titulo;  // an earlier row's title
    if (i % 3 == 1) r.n = "x" + std::to_string(i);                      // no number
    if (i % 3 == 2) r.n.reset();                                        // required, missing
    if (i % 5 == 0) r.id = kFirstKeptId + i % kKeptRows;                // a kept row's key
    rows.push_back(r);
  }
  ExpectModelOutcome("dbindex_long_append_late", "INSERT INTO canciones",
                     "SELECT * FROM canciones", true, rows);
}

// Keys with Nulls, in a long append whose rows are checked from their
// values a batch ahead: a unique index takes any number of Null keys, an
// index that ignores Nulls does not list such rows, and one that disallows
// them refuses the row (a rule violation) while the statement goes on.
// Every row must meet the fate it has when rows are taken one at a time,
// and every index must list exactly the rows it should.
TEST(LongAppend, NullKeysMeetTheirIndexesRules) {
  constexpr int kRows = 2000;
  std::string dir = ScratchDir("dbindex_long_append_nulls");
  HostFileSystem fs;
  struct Row {
    int32_t id;
    std::optional<std::string> a, b, c;
  };
  std::vector<Row> rows;
  for (int i = 0; i < kRows; ++i) {
    Row r{i, "único " + std::to_string(i), "b " + std::to_string(i % 97), "c " + std::to_string(i)};
    if (i % 5 == 0) r.a.reset();
    if (i % 7 == 3 && i % 11 != 4 && (i - 3) % 5 != 0) r.a = "único " + std::to_string(i - 3);
    if (i % 3 == 0) r.b.reset();
    if (i % 11 == 4) r.c.reset();
    rows.push_back(r);
  }
  auto text = [](const std::optional<std::string>& v) { return v ? Value::Text(*v) : Value::Null(); };
  {
    jet::CreateDatabase(fs, dir + "/datos.mdb");
    auto db = OpenForWrite(fs, dir + "/datos.mdb");
    ExecuteStatement(fs, *db, "CREATE TABLE t (id LONG, a TEXT(20), b TEXT(20), c TEXT(20))");
    db->Reload();
    db->pager().BeginDeferredWrites();
    jet::PageAllocator allocator(*db);
    jet::TableWriter writer(*db, allocator, db->Table("t"));
    for (const Row& r : rows) writer.Append({Value::Long(r.id), text(r.a), text(r.b), text(r.c)});
    writer.Finish();
    db->pager().FlushWrites();
  }
  {
    jet::CreateDatabase(fs, dir + "/datos.new");
    auto db = OpenForWrite(fs, dir + "/datos.new");
    for (const char* statement :
         {"CREATE TABLE t (id LONG, a TEXT(20), b TEXT(20), c TEXT(20))",
          "CREATE UNIQUE INDEX por_a ON t (a)", "CREATE INDEX por_b ON t (b) WITH IGNORE NULL",
          "CREATE INDEX por_c ON t (c) WITH DISALLOW NULL"}) {
      ExecuteStatement(fs, *db, statement);
    }
  }
  std::map<int32_t, const Row*> expected;
  std::set<std::string> titles;
  StatementCounts want;
  for (const Row& r : rows) {
    if (!r.c) {
      ++want.refused_rule;
    } else if (r.a && titles.count(*r.a)) {
      ++want.refused_key;
    } else {
      if (r.a) titles.insert(*r.a);
      expected[r.id] = &r;
      ++want.changed;
    }
  }
  ASSERT_GT(want.refused_key, 100);
  ASSERT_GT(want.refused_rule, 100);
  {
    auto db = OpenForWrite(fs, dir + "/datos.mdb");
    ExpectCounts(ExecuteStatement(fs, *db, "INSERT INTO t IN '" + dir + "/datos.new' SELECT * FROM t"),
                 want);
  }
  auto db = OpenForWrite(fs, dir + "/datos.new");
  EXPECT_EQ(FaultText(*db), "");
  size_t found = 0;
  for (const TableRow& row : ReadRows(*db, *db->Table("t"))) {
    auto it = expected.find(int32_t(row.values[0].integer()));
    ASSERT_NE(it, expected.end()) << "row " << row.values[0].integer() << " should be refused";
    EXPECT_EQ(row.values[1], text(it->second->a));
    EXPECT_EQ(row.values[2], text(it->second->b));
    ++found;
  }
  EXPECT_EQ(found, expected.size());
}

// A source row that cannot be read, late in a long append (its values are
// decoded a batch ahead of the writes): the statement fails at that row's
// turn, naming the source file, and the destination is left readable,
// holding only rows that come before it, each as the model has it.
TEST(LongAppend, AnUnreadableSourceRowEndsTheStatementAtItsTurn) {
  constexpr int kDamaged = 2000;
  std::string dir = ScratchDir("dbindex_long_append_damaged");
  HostFileSystem fs;
  auto rows = SourceRows();
  MakeSource(fs, dir + "/datos.mdb", rows);
  MakeDestination(fs, dir + "/datos.new");
  {
    // Its variable-column count, the byte before the Null mask, made to
    // claim more columns than the row has bytes.
    auto db = OpenForWrite(fs, dir + "/datos.mdb");
    auto table = db->Table("canciones");
    jet::TableScan scan(db->pager(), db->format(), *table);
    for (int i = 0; i <= kDamaged; ++i) ASSERT_TRUE(scan.Next());
    const jet::RowPointer where = scan.position();
    const jet::Slot slot = jet::ReadSlot(scan.page(), db->format(), where.row);
    const size_t offset = size_t(where.page) * db->format().page_size + slot.end - 2;
    db.reset();
    std::vector<uint8_t> bytes = ReadHostFile(dir + "/datos.mdb");
    bytes.at(offset) = 0xFF;
    WriteHostFile(dir + "/datos.mdb", bytes);
  }
  rows.resize(kDamaged);
  const Expected before = Model(rows, true);
  try {
    auto db = OpenForWrite(fs, dir + "/datos.mdb");
    ExecuteStatement(fs, *db, "INSERT INTO canciones IN '" + dir + "/datos.new' SELECT * FROM canciones");
    FAIL() << "the damaged row was read";
  } catch (const act::Error& e) {
    EXPECT_NE(std::string(e.what()).find(dir + "/datos.mdb"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("variable-offset table"), std::string::npos) << e.what();
  }
  auto db = OpenForWrite(fs, dir + "/datos.new");
  EXPECT_EQ(FaultText(*db), "");
  size_t kept = 0;
  for (const TableRow& row : ReadRows(*db, *db->Table("canciones"))) {
    const int32_t id = int32_t(row.values[0].integer());
    auto it = before.rows.find(id);
    ASSERT_NE(it, before.rows.end()) << "row " << id << " is not one of the rows before the damage";
    EXPECT_EQ(it->second.first, row.values[1].bytes());
    if (id >= kFirstKeptId) ++kept;
  }
  EXPECT_EQ(kept, size_t(kKeptRows));
}

}  // namespace
}  // namespace act::db::testing
