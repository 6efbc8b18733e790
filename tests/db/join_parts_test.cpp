// A join whose inner side is held a part at a time gives the same rows as
// one that holds it whole (which the oracle of tests/jetsql checks), for
// inner and outer joins: an outer row that meets a partner in no part comes
// once, with Nulls, and one that meets partners in several parts comes with
// each.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/exec/from_clause.h"
#include "db/exec/packed_row.h"
#include "db/sql/parser.h"
#include "tests/db/host_file.h"

namespace act::db::exec {
namespace {

std::vector<std::string> Rows(jet::Database& db, const std::string& text, size_t hash_bytes) {
  auto select = std::get<sql::SelectStatement>(sql::Parse(text));
  FromClause from(nullptr, db, select.from, nullptr, text, hash_bytes);
  std::vector<std::string> rows;
  while (from.Next()) {
    std::string packed;
    for (size_t place = 0; place < from.width(); ++place) PackValue(packed, from.row().at(place));
    rows.push_back(std::move(packed));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(JoinParts, HeldInPartsGivesTheRowsOfTheWholeSide) {
  jet::Database db(std::make_unique<testing::HostFile>(testing::SamplePath("jet3/nwind.mdb")));
  // Columns no index covers: the inner side is held, hashed.
  for (const char* text :
       {"SELECT * FROM Customers c LEFT JOIN Orders o ON c.City = o.ShipCity",
        "SELECT * FROM Orders o RIGHT JOIN Customers c ON c.City = o.ShipCity",
        "SELECT * FROM Customers c INNER JOIN Orders o ON c.City = o.ShipCity",
        "SELECT * FROM Shippers s, Employees e"}) {
    const std::vector<std::string> whole = Rows(db, text, kJoinHashBytes);
    const std::vector<std::string> parts = Rows(db, text, 4096);
    EXPECT_GT(whole.size(), 8u) << text;
    EXPECT_EQ(parts, whole) << text;
  }
}

}  // namespace
}  // namespace act::db::exec
