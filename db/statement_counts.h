// What one writing statement did, as DAO counts it, and how a long one tells
// of its progress. One type from the statement runner through the DAO
// facade to the update run's observers.
#pragma once

#include <cstdint>
#include <functional>

namespace act::db {

struct StatementCounts {
  int64_t changed = 0;        // rows appended, updated or deleted
  int64_t refused_key = 0;    // rows left out: a duplicate key
  int64_t refused_rule = 0;   // rows left out: a required value missing, a relationship broken
  int64_t refused_value = 0;  // rows left out: a value that does not convert or does not fit
  int64_t refused() const { return refused_key + refused_rule + refused_value; }
};

// Told, now and then while a statement goes through a table's rows and once
// at its end, how many it has gone through, of the table's total.
using RowProgress = std::function<void(int64_t done, int64_t total)>;

}  // namespace act::db
