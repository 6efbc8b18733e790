// The Spanish letters and marks the product's data uses (á é í ó ú ü ñ ¿ ¡
// and the capitals) encode to the keys Access stored: every indexed text
// value of testIndexCodesV1997 holding one of them is re-encoded and
// compared with Access's leaf entry for its row, and every one of these
// characters must occur in at least one such value.
#include <gtest/gtest.h>

#include <map>

#include "db/jet/index/index_key.h"
#include "tests/dbindex/index_test_util.h"

namespace act::db::testing {
namespace {

TEST(SpanishTextKeys, AccessKeysForAccentedValuesAreReproduced) {
  const std::vector<std::string> letters = {"á", "é", "í", "ó", "ú", "ü", "ñ", "¿", "¡",
                                            "Á", "É", "Í", "Ó", "Ú", "Ü", "Ñ"};
  std::map<std::string, int> seen;
  MemoryDatabase m = OpenSampleCopy("jet3/testIndexCodesV1997.mdb");
  jet::Database& db = *m.db;
  for (const auto& entry : db.tables()) {
    auto table = db.Table(entry.name);
    auto rows = ReadRows(db, *table);
    for (const auto& index : table->real_indexes) {
      if (index.columns.size() != 1) continue;
      size_t col = 0;
      while (table->columns[col].number != index.columns[0].column_number) ++col;
      if (table->columns[col].type != jet::kTypeText) continue;
      std::map<jet::RowPointer, jet::KeyBytes> stored;
      for (const auto& e : IndexEntries(db, *table, index)) stored[e.row] = e.key;
      for (const auto& row : rows) {
        const Value& v = row.values[col];
        if (!v.is_text()) continue;
        bool spanish = false;
        for (const auto& l : letters) {
          if (v.bytes().find(l) != std::string::npos) {
            ++seen[l];
            spanish = true;
          }
        }
        if (!spanish) continue;
        EXPECT_EQ(jet::EncodeIndexKey(db.format(), *table, index, row.values), stored[row.position])
            << entry.name << " '" << v.bytes() << "'";
      }
    }
  }
  for (const auto& l : letters) EXPECT_GT(seen[l], 0) << l << " occurs in no indexed value";
}

TEST(SpanishTextKeys, CaseFoldsAndAccentsOrderAfterTheirBaseLetter) {
  auto key = [](const char* cp1252) { return jet::Jet3TextKey(cp1252); };
  // "\xF1" = ñ, "\xD1" = Ñ, "\xE1" = á, "\xC1" = Á (Windows-1252).
  EXPECT_EQ(key("a\xF1o"), key("A\xD1O"));
  EXPECT_EQ(key("\xE1rbol"), key("\xC1RBOL"));
  EXPECT_LT(jet::CompareKeys(key("arbol"), key("\xE1rbol")), 0);
  EXPECT_LT(jet::CompareKeys(key("\xE1rbol"), key("arbolito")), 0);
  // ñ sorts with n in the General order, after it by its accent.
  EXPECT_LT(jet::CompareKeys(key("ano"), key("a\xF1o")), 0);
  EXPECT_LT(jet::CompareKeys(key("a\xF1o"), key("anos")), 0);
}

}  // namespace
}  // namespace act::db::testing
