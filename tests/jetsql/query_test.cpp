// The SQL a support engineer types first, feature by feature, on Access's
// own Northwind sample: each answer is worked out here from the table as
// mdb-export prints it, and jetsql must give the same rows. Skipped where
// mdbtools is not installed (under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "tests/db/host_file.h"
#include "tests/jetsql/tool_util.h"
#include "tests/support/peer_tools.h"

namespace act::jetsql {
namespace {

using Row = std::vector<std::string>;

// Rows of CSV as mdb-export and jetsql print it: fields in double quotes
// with quotes doubled (line breaks allowed inside), the header first.
std::vector<Row> ParseCsv(const std::string& text) {
  std::vector<Row> rows(1);
  std::string field;
  bool quoted = false, in_field = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c != '"') field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else quoted = false;
    } else if (c == '"') {
      quoted = in_field = true;
    } else if (c == ',' || c == '\n') {
      rows.back().push_back(std::move(field));
      field.clear();
      if (c == '\n') rows.emplace_back();
      in_field = c == ',';
    } else {
      field += c;
      in_field = true;
    }
  }
  if (in_field) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

// A table as mdb-export prints it, for working out the answers.
struct Table {
  Row header;
  std::vector<Row> rows;
  size_t Column(const std::string& name) const {
    auto at = std::find(header.begin(), header.end(), name);
    EXPECT_NE(at, header.end()) << name;
    return size_t(at - header.begin());
  }
};

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    ACT_REQUIRE_TOOL("mdb-export");
  }

  Table Export(const std::string& table) {
    auto out = db::testing::RunCommand("mdb-export '" + path_ + "' '" + table + "'");
    EXPECT_TRUE(out.ok) << table;
    std::vector<Row> rows = ParseCsv(out.out);
    Table t;
    t.header = rows.front();
    t.rows.assign(rows.begin() + 1, rows.end());
    return t;
  }

  // jetsql's rows for `sql`, without the header (checked against `names`
  // when given).
  std::vector<Row> Query(const std::string& sql, const Row& names = {}) {
    Outcome o = RunTool(*fs_, {path_, sql});
    EXPECT_EQ(o.status, 0) << sql << "\n" << o.err;
    std::vector<Row> rows = ParseCsv(o.out);
    if (rows.empty()) return {};
    if (!names.empty()) {
      EXPECT_EQ(rows.front(), names) << sql;
    }
    return {rows.begin() + 1, rows.end()};
  }

  std::string path_ = db::testing::SamplePath("jet3/nwind.mdb");
  std::unique_ptr<FileSystem> fs_ = NewPlatformFileSystem();
};

std::vector<Row> Project(const std::vector<Row>& rows, const std::vector<size_t>& columns) {
  std::vector<Row> out;
  for (const Row& r : rows) {
    Row picked;
    for (size_t c : columns) picked.push_back(r[c]);
    out.push_back(picked);
  }
  return out;
}

TEST_F(Queries, AggregatesFollowJetsNullRules) {
  Table orders = Export("Orders");
  const size_t freight = orders.Column("Freight"), shipped = orders.Column("ShippedDate");
  size_t shipped_count = 0;
  double sum = 0;
  const Row* cheapest = &orders.rows.front();
  const Row* dearest = cheapest;
  for (const Row& r : orders.rows) {
    shipped_count += !r[shipped].empty();
    sum += std::stod(r[freight]);
    if (std::stod(r[freight]) < std::stod((*cheapest)[freight])) cheapest = &r;
    if (std::stod(r[freight]) > std::stod((*dearest)[freight])) dearest = &r;
  }
  auto rows = Query("SELECT COUNT(*), COUNT(ShippedDate), MIN(Freight), MAX(Freight), "
                    "SUM(Freight) AS total, AVG(Freight) FROM Orders",
                    {"Expr1000", "Expr1001", "Expr1002", "Expr1003", "total", "Expr1004"});
  ASSERT_EQ(rows.size(), 1u);
  const Row& r = rows[0];
  EXPECT_EQ(r[0], std::to_string(orders.rows.size()));
  EXPECT_EQ(r[1], std::to_string(shipped_count));  // COUNT(col) leaves Nulls out
  EXPECT_EQ(r[2], (*cheapest)[freight]);            // MIN and MAX keep Currency
  EXPECT_EQ(r[3], (*dearest)[freight]);
  EXPECT_NEAR(std::stod(r[4]), sum, 0.00005);  // a Currency total: four decimals
  EXPECT_NEAR(std::stod(r[5]), sum / double(orders.rows.size()), 1e-9);
  // Over no rows: one row all the same, COUNT 0 and the others Null.
  EXPECT_EQ(Query("SELECT COUNT(*), COUNT(Freight), SUM(Freight), MIN(OrderDate) FROM Orders "
                  "WHERE OrderID < 0"),
            (std::vector<Row>{{"0", "0", "", ""}}));
}

TEST_F(Queries, GroupByAndHaving) {
  Table orders = Export("Orders");
  const size_t employee = orders.Column("EmployeeID"), country = orders.Column("ShipCountry");
  std::map<int, int> per_employee;
  std::map<std::string, int> per_country;
  for (const Row& r : orders.rows) {
    ++per_employee[std::stoi(r[employee])];
    ++per_country[r[country]];
  }
  // Groups come out in the order of their column.
  std::vector<Row> busy;
  for (const auto& [id, n] : per_employee) {
    if (n >= 100) busy.push_back({std::to_string(id), std::to_string(n)});
  }
  ASSERT_FALSE(busy.empty());
  ASSERT_LT(busy.size(), per_employee.size());
  EXPECT_EQ(Query("SELECT EmployeeID, COUNT(*) AS pedidos FROM Orders GROUP BY EmployeeID "
                  "HAVING COUNT(*) >= 100",
                  {"EmployeeID", "pedidos"}),
            busy);
  std::map<std::string, int> grouped;
  for (const Row& r : Query("SELECT ShipCountry, COUNT(OrderID) FROM Orders GROUP BY ShipCountry")) {
    grouped[r[0]] = std::stoi(r[1]);
  }
  EXPECT_EQ(grouped, per_country);
}

TEST_F(Queries, DistinctAndTop) {
  Table orders = Export("Orders");
  const size_t via = orders.Column("ShipVia"), country = orders.Column("ShipCountry");
  const size_t id = orders.Column("OrderID"), freight = orders.Column("Freight");
  std::set<int> vias;
  std::set<Row> pairs;
  for (const Row& r : orders.rows) {
    vias.insert(std::stoi(r[via]));
    pairs.insert({r[country], r[via]});
  }
  std::vector<Row> sorted_vias;
  for (int v : vias) sorted_vias.push_back({std::to_string(v)});
  EXPECT_EQ(Query("SELECT DISTINCT ShipVia FROM Orders"), sorted_vias);
  auto distinct_pairs = Query("SELECT DISTINCT ShipCountry, ShipVia FROM Orders");
  EXPECT_EQ(std::set<Row>(distinct_pairs.begin(), distinct_pairs.end()), pairs);
  EXPECT_EQ(distinct_pairs.size(), pairs.size());

  // TOP n of a sort: rows that tie with the n-th come too, in table order.
  std::vector<Row> by_freight = Project(orders.rows, {id, freight});
  std::stable_sort(by_freight.begin(), by_freight.end(),
                   [](const Row& a, const Row& b) { return std::stod(a[1]) > std::stod(b[1]); });
  size_t keep = 5;
  while (keep < by_freight.size() && by_freight[keep][1] == by_freight[4][1]) ++keep;
  by_freight.resize(keep);
  EXPECT_EQ(Query("SELECT TOP 5 OrderID, Freight FROM Orders ORDER BY Freight DESC"), by_freight);
  // Without ORDER BY, the first n in table order.
  EXPECT_EQ(Query("SELECT TOP 3 * FROM Orders", orders.header),
            std::vector<Row>(orders.rows.begin(), orders.rows.begin() + 3));
}

TEST_F(Queries, OrderBySeveralColumnsBothWays) {
  Table orders = Export("Orders");
  const size_t id = orders.Column("OrderID"), employee = orders.Column("EmployeeID");
  const size_t freight = orders.Column("Freight");
  std::vector<Row> expected = Project(orders.rows, {id, employee, freight});
  std::sort(expected.begin(), expected.end(), [](const Row& a, const Row& b) {
    auto key = [](const Row& r) {
      return std::tuple(-std::stoi(r[1]), std::stod(r[2]), -std::stoi(r[0]));
    };
    return key(a) < key(b);
  });
  EXPECT_EQ(Query("SELECT OrderID, EmployeeID, Freight FROM Orders "
                  "ORDER BY EmployeeID DESC, Freight, OrderID DESC"),
            expected);
}

// Jet's wildcards as a regular expression, to check the engine's own
// matching (on ASCII text) against.
std::regex LikeRegex(const std::string& pattern) {
  std::string re;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '*') re += ".*";
    else if (c == '?') re += ".";
    else if (c == '#') re += "[0-9]";
    else if (c == '[') {
      size_t end = pattern.find(']', i);
      std::string set = pattern.substr(i + 1, end - i - 1);
      if (set == "*" || set == "?" || set == "#") {
        re += '\\';
        re += set;
      } else {
        re += '[';
        re += set[0] == '!' ? '^' + set.substr(1) : set;
        re += ']';
      }
      i = end;
    } else if (std::string("\\^$.|+(){}").find(c) != std::string::npos) {
      re += std::string("\\") + c;
    } else {
      re += c;
    }
  }
  return std::regex(re, std::regex::icase);
}

TEST_F(Queries, LikeWithJetsWildcards) {
  Table customers = Export("Customers");
  const size_t id = customers.Column("CustomerID"), phone = customers.Column("Phone");
  const size_t name = customers.Column("CompanyName");
  const struct { const char* column; size_t at; const char* pattern; } cases[] = {
      {"CustomerID", id, "b*"},         // letter case does not count
      {"CustomerID", id, "?[A-C]*"},    // any one character, then one of a range
      {"CustomerID", id, "[!a-m]???S"},  // one not in the range
      {"Phone", phone, "(#) *"},        // a digit
      {"Phone", phone, "*[*]*"},        // a star itself
      {"CompanyName", name, "*market*"},
  };
  for (const auto& c : cases) {
    std::vector<Row> expected;
    for (const Row& r : customers.rows) {
      if (std::regex_match(r[c.at], LikeRegex(c.pattern))) expected.push_back({r[id]});
    }
    EXPECT_EQ(Query(std::string("SELECT CustomerID FROM Customers WHERE ") + c.column +
                    " LIKE '" + c.pattern + "'"),
              expected)
        << c.pattern;
    EXPECT_EQ(Query(std::string("SELECT COUNT(*) FROM Customers WHERE ") + c.column +
                    " NOT LIKE '" + c.pattern + "'"),
              (std::vector<Row>{{std::to_string(customers.rows.size() - expected.size())}}))
        << c.pattern;
  }
}

TEST_F(Queries, NullsRangesAndLogic) {
  Table orders = Export("Orders");
  const size_t id = orders.Column("OrderID"), region = orders.Column("ShipRegion");
  const size_t freight = orders.Column("Freight"), employee = orders.Column("EmployeeID");
  const size_t shipped = orders.Column("ShippedDate");
  std::vector<Row> expected;
  size_t with_region = 0;
  for (const Row& r : orders.rows) {
    const double f = std::stod(r[freight]);
    const bool in_range = f >= 10 && f <= 20;
    if ((r[region].empty() && (in_range || !(std::stoi(r[employee]) != 5))) || r[shipped].empty()) {
      expected.push_back({r[id]});
    }
    with_region += !r[region].empty();
  }
  EXPECT_EQ(Query("SELECT OrderID FROM Orders WHERE ShipRegion IS NULL AND "
                  "(Freight BETWEEN 10 AND 20 OR NOT (EmployeeID <> 5)) OR ShippedDate IS NULL"),
            expected);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Orders WHERE ShipRegion IS NOT NULL"),
            (std::vector<Row>{{std::to_string(with_region)}}));
}

TEST_F(Queries, OneRuleForEveryStatement) {
  // Text against a number is refused alike by SELECT and UPDATE, before
  // anything is read or written.
  SampleCopy copy("jet3/nwind.mdb");
  for (const char* statement : {"SELECT * FROM Orders WHERE ShipCountry = 5",
                                "UPDATE Orders SET Freight = 0 WHERE ShipCountry = 5"}) {
    Outcome o = RunTool(copy.fs(), {copy.path(), statement});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("error 3464"), std::string::npos) << o.err;
  }
  EXPECT_TRUE(copy.Unchanged());
  // INSERT ... SELECT takes what SELECT does: a LIKE condition, groups.
  const std::string summary =
      " ShipCountry, COUNT(*), SUM(Freight) FROM Orders WHERE ShipCountry LIKE '[a-m]*' "
      "GROUP BY ShipCountry";
  Outcome o = RunTool(copy.fs(), {copy.path(),
                                  "CREATE TABLE resumen (pais TEXT(15), pedidos LONG, flete CURRENCY)",
                                  "INSERT INTO resumen (pais, pedidos, flete) SELECT" + summary, "SELECT * FROM resumen",
                                  "SELECT" + summary});
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<Row> rows = ParseCsv(o.out);
  auto second_header = std::find(rows.begin() + 1, rows.end(), Row{"ShipCountry", "Expr1000", "Expr1001"});
  ASSERT_NE(second_header, rows.end());
  EXPECT_GT(second_header - rows.begin(), 2);
  EXPECT_EQ(std::vector<Row>(rows.begin() + 1, second_header),
            std::vector<Row>(second_header + 1, rows.end()));
}

}  // namespace
}  // namespace act::jetsql
