// Helpers shared by the SQL front end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/sql/parser.h"
#include "platform/error.h"

namespace act::sql {

template <typename T>
T ParseAs(const std::string& sql) {
  Statement s = Parse(sql);
  EXPECT_TRUE(std::holds_alternative<T>(s)) << sql;
  if (!std::holds_alternative<T>(s)) return T{};
  return std::get<T>(std::move(s));
}

// The error Parse throws for `sql`; fails the test when it accepts it.
inline Error ParseError(const std::string& sql) {
  try {
    Parse(sql);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "accepted: " << sql;
  return Error(0, "", "");
}

// The names of the selected columns (a SELECT of columns only).
inline std::vector<std::string> ColumnNames(const SelectStatement& s) {
  std::vector<std::string> names;
  for (const SelectItem& item : s.columns) names.push_back(item.expr.column);
  return names;
}

// The condition of `SELECT * FROM t WHERE <condition>`.
inline Expr Where(const std::string& condition) {
  auto s = ParseAs<SelectStatement>("SELECT * FROM t WHERE " + condition);
  EXPECT_TRUE(s.where) << condition;
  return s.where ? *s.where : Expr{};
}

// The value of the literal in `INSERT INTO t VALUES (<literal>)`.
inline Value Literal(const std::string& literal) {
  auto s = ParseAs<InsertValuesStatement>("INSERT INTO t VALUES (" + literal + ")");
  EXPECT_EQ(s.values.size(), 1u) << literal;
  return s.values.empty() ? Value{} : s.values[0].literal;
}

}  // namespace act::sql
