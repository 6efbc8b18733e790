// The aggregate functions of a SELECT, over the rows of one group, with
// Jet's result types and Null rules:
//
// - COUNT(*) counts rows, COUNT(col) the rows where col is not Null; both
//   are a Long, 0 over no rows.
// - SUM adds as Jet does, in floating point (so a Currency total carries
//   the rounding of a double); it gives a Currency for a Currency column and
//   a Double for the other numbers (Yes/No counts True as -1).
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
  Value best_;            // MIN, MAX
  std::string best_key_;  // its order key
  std::string key_;       // the candidate's, its buffer kept
};

}  // namespace act::db::exec
