// Index reading checked against the rows: for every real index of every
// table (system tables included) of every sample, the tree walk yields each
// indexed row once, in the order of our own key encoding, with key bytes
// identical to those Access stored; and a lookup of each key from the root
// finds exactly the rows holding it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "db/errors.h"
#include "db/jet/table/database.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"

namespace act::db::testing {
namespace {

using jet::IndexEntry;
using jet::KeyBytes;
using jet::RowPointer;

struct Entry {
  KeyBytes key;
  RowPointer row;
  bool operator<(const Entry& o) const {
    int c = jet::CompareKeys(key, o.key);
    return c != 0 ? c < 0 : row < o.row;
  }
  bool operator==(const Entry& o) const { return key == o.key && row == o.row; }
};

struct Totals {
  size_t indexes = 0, entries = 0, text_entries = 0, lookups = 0, unencodable = 0;
};

bool HasTextColumn(const jet::TableDefinition& t, const jet::RealIndex& index) {
  for (const auto& ic : index.columns) {
    auto type = t.ColumnByNumber(ic.column_number)->type;
    if (type == jet::kTypeText || type == jet::kTypeMemo) return true;
  }
  return false;
}

void CheckIndex(jet::Database& db, const jet::TableDefinition& table, const jet::RealIndex& index,
                Totals& totals) {
  SCOPED_TRACE("index " + std::to_string(index.number));
  // The rows as the index should list them, from a plain scan.
  std::vector<Entry> expected;
  bool encodable = true;
  jet::TableScan scan(db.pager(), db.format(), table);
  while (scan.Next()) {
    std::vector<Value> values;
    bool all_null = true;
    for (size_t i = 0; i < table.columns.size(); ++i) values.push_back(scan.Get(i));
    for (const auto& ic : index.columns) {
      for (size_t i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i].number == ic.column_number && !values[i].is_null()) all_null = false;
      }
    }
    if ((index.flags & jet::kIndexIgnoreNulls) && all_null) continue;
    Entry e;
    e.row = scan.position();
    try {
      e.key = jet::EncodeIndexKey(db.format(), table, index, values);
    } catch (const act::Error& error) {
      ASSERT_EQ(kJetOperationNotSupported, error.number()) << error.what();
      encodable = false;
    }
    expected.push_back(std::move(e));
  }

  std::vector<Entry> walked;
  jet::IndexReader reader(db.pager(), db.format(), table, index);
  reader.Walk([&](const IndexEntry& entry) { walked.push_back({entry.key, entry.row}); });

  ASSERT_TRUE(std::is_sorted(walked.begin(), walked.end())) << "walk out of order";
  if (encodable) {
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(expected.size(), walked.size());
    for (size_t i = 0; i < walked.size(); ++i) {
      ASSERT_EQ(expected[i].row, walked[i].row) << "entry " << i;
      ASSERT_EQ(expected[i].key, walked[i].key) << "entry " << i << " (page "
                                                 << walked[i].row.page << " row "
                                                 << int(walked[i].row.row) << ")";
    }
    if (HasTextColumn(table, index)) totals.text_entries += walked.size();
  } else {
    // Keys we cannot build (Jet 4 text): the same rows, each once.
    std::vector<RowPointer> a, b;
    for (const auto& e : expected) a.push_back(e.row);
    for (const auto& e : walked) b.push_back(e.row);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b);
    ++totals.unencodable;
  }
  totals.entries += walked.size();
  ++totals.indexes;

  // Every distinct key, looked up from the root, gives exactly its rows.
  std::map<KeyBytes, std::vector<RowPointer>> by_key;
  for (const auto& e : walked) by_key[e.key].push_back(e.row);
  for (const auto& [key, rows] : by_key) {
    ASSERT_EQ(rows, reader.Find(key)) << "lookup of a key with " << rows.size() << " rows";
    ++totals.lookups;
  }
  // A key below and one above every stored key find nothing.
  EXPECT_TRUE(reader.Find(KeyBytes{}).empty() || by_key.count(KeyBytes{}));
  EXPECT_TRUE(reader.Find(KeyBytes(300, 0xFF)).empty());
}

Totals CheckDatabase(const std::string& relative) {
  jet::Database db(std::make_unique<HostFile>(SamplePath(relative)));
  Totals totals;
  for (const auto& entry : db.tables()) {
    SCOPED_TRACE(relative + " table " + entry.name);
    auto table = db.TableAt(entry.tdef_page);
    for (const auto& index : table->real_indexes) CheckIndex(db, *table, index, totals);
  }
  return totals;
}

TEST(IndexTest, EveryIndexOfEverySampleAgreesWithItsRows) {
  Totals all;
  for (const std::string& sample : SampleDatabases()) {
    Totals t = CheckDatabase(sample);
    all.indexes += t.indexes;
    all.entries += t.entries;
    all.lookups += t.lookups;
    all.text_entries += t.text_entries;
    all.unencodable += t.unencodable;
    EXPECT_GT(t.indexes, 0u) << sample;
  }
  // The samples hold 27645 index entries, 7067 of them over Jet 3 text.
  EXPECT_GE(all.entries, 27645u);
  EXPECT_GE(all.text_entries, 7067u);
  std::cout << all.indexes << " indexes, " << all.entries << " entries (" << all.text_entries
            << " over text), " << all.lookups << " lookups, " << all.unencodable
            << " indexes with Jet 4 text keys checked by rows only\n";
}

// The worked examples of the Jet 3 "General" text keys.
TEST(IndexTest, Jet3TextKeyExamples) {
  auto key = [](std::string_view s) { return jet::Jet3TextKey(s); };
  EXPECT_EQ((KeyBytes{0x60, 0x60, 0x00}), key("AA"));
  EXPECT_EQ(key("AA"), key("aa"));  // case-blind
  EXPECT_EQ((KeyBytes{0x60, 0x60, 0x10, 0x60, 0x60, 0x00}), key("AA\x01" "AA"));
  EXPECT_EQ(key("AA\x01" "AA"), key("AA\nAA"));
  EXPECT_EQ((KeyBytes{0x60, 0x60, 0x60, 0x60, 0x60, 0x02, 0x23, 0x00}), key("AA\xC0" "AA"));
  EXPECT_EQ((KeyBytes{0x60, 0x60, 0x62, 0x60, 0x60, 0x02, 0x29, 0x00}), key("AA\xC7" "AA"));
  EXPECT_EQ((KeyBytes{0x60, 0x60, 0x60, 0x02, 0x60}), key("a\xE4" "a"));
  EXPECT_EQ((KeyBytes{0x1E, 0x60, 0x1E, 0x60, 0x1E, 0x04, 0x40}), key("-\xC1-\xC1-"));
  EXPECT_EQ(key("abc"), key("abc  "));  // trailing spaces dropped
  EXPECT_EQ((KeyBytes{0x60, 0x66, 0x00}), key("\xC6"));  // AE expands
  // The expanding letters wait in the accent stream as the two base letters
  // they stand for: "æé" is "aeé".
  EXPECT_EQ(key("ae\xE9"), key("\xE6\xE9"));
  EXPECT_EQ(key("oe\xE9"), key("\x9C\xE9"));
  EXPECT_EQ(key("ss\xE9"), key("\xDF\xE9"));
}

// Two entries Access wrote in nwind.mdb, byte for byte: a sharp s counts as
// two base letters before the accent after it, and a NUL inside a text is
// a control character like the others.
TEST(IndexTest, AccessEntriesForSharpSAndNul) {
  jet::Database db(std::make_unique<HostFile>(SamplePath("jet3/nwind.mdb")));
  auto entry_for = [&](const std::string& table_name, const std::string& column,
                       const std::string& text) {
    auto table = db.Table(table_name);
    size_t at = 0;
    while (table->columns[at].name != column) ++at;
    const jet::RealIndex* index = nullptr;
    for (const auto& candidate : table->real_indexes) {
      if (candidate.columns[0].column_number == table->columns[at].number) index = &candidate;
    }
    EXPECT_NE(index, nullptr) << table_name << "." << column;
    jet::TableScan scan(db.pager(), db.format(), *table);
    while (scan.Next()) {
      if (scan.Get(at) != Value::Text(text)) continue;
      std::vector<Value> values;
      for (size_t i = 0; i < table->columns.size(); ++i) values.push_back(scan.Get(i));
      KeyBytes stored;
      jet::IndexReader(db.pager(), db.format(), *table, *index).Walk([&](const IndexEntry& e) {
        if (e.row == scan.position()) stored = e.key;
      });
      EXPECT_EQ(stored, jet::EncodeIndexKey(db.format(), *table, *index, values));
      return stored;
    }
    ADD_FAILURE() << "no row '" << text << "' in " << table_name;
    return KeyBytes{};
  };
  EXPECT_EQ((KeyBytes{0x7F, 0x73, 0x6D, 0x78, 0x77, 0x7E, 0x66, 0x75, 0x11, 0x6D, 0x66, 0x61,
                      0x66, 0x70, 0x76, 0x6F, 0x6A, 0x77, 0x77, 0x66, 0x6D, 0x68, 0x75, 0x72,
                      0x76, 0x76, 0x6F, 0x60, 0x75, 0x6C, 0x77, 0x66, 0x11, 0x60, 0x68, 0x02,
                      0x22, 0x22, 0x22, 0x22, 0x22, 0x60}),
            entry_for("Suppliers", "CompanyName", "Plutzer Lebensmittelgroßmärkte AG"));
  // MSysModules2's index goes on with Type and Version after the name.
  KeyBytes lock = entry_for("MSysModules2", "Name", std::string("Lock\0", 5));
  lock.resize(std::min<size_t>(lock.size(), 7));
  EXPECT_EQ((KeyBytes{0x7F, 0x6D, 0x72, 0x62, 0x6C, 0x10, 0x00}), lock);
}

}  // namespace
}  // namespace act::db::testing
