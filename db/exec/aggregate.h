// The aggregate functions of a SELECT, over the rows of one group, with
// Jet's result types and Null rules:
//
// - COUNT(*) counts rows, COUNT(col) the rows where col is not Null; both
//   are a Long, 0 over no rows.
// - SUM of Currency adds exactly, as the scaled 64-bit integers Currency
//   is (a total beyond its range is Overflow, 6); SUM of the other numbers
//   adds in floating point and gives a Double (Yes/No counts True as -1).
// - AVG gives a Double.
// - MIN and MAX keep their column's type, in Jet's order (text without
//   regard to case).
// - All but COUNT are Null where no value was not Null.
#pragma once

#include <cstdint>
#include <string>

#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

class Accumulator {
 public:
  explicit Accumulator(sql::Aggregate function) : function_(function) {}

  // A row for COUNT(*).
  void AddRow() { ++count_; }
  // A value of the function's column; Null is left out.
  void Add(const Value& v);

  Value Result() const;

 private:
  sql::Aggregate function_;
  int64_t count_ = 0;
  double sum_ = 0;
  bool currency_ = false;
  int64_t exact_ = 0;  // a Currency sum, in ten-thousandths
  Value best_;            // MIN, MAX
  std::string best_key_;  // its order key
  std::string key_;       // the candidate's, its buffer kept
};

}  // namespace act::db::exec
