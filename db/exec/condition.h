// Conditions (WHERE, HAVING) with Jet's rules, over the one expression
// evaluator (expression.h) that SELECT, UPDATE and INSERT ... SELECT share.
//
// - Operands compare only within their kind: text with text, numbers
//   (dates and Yes/No among them) with numbers, binary with binary. A
//   condition that puts text against a number is refused before any row
//   is read when the kinds are known then (3464, "Data type mismatch in
//   criteria expression"), else when a row brings them; a binary literal
//   is refused (3251).
// - Text compares in Jet's text order, without regard to letter case
//   (value_order.h); numbers by value, Currency exactly; True is -1.
// - A comparison, IN, LIKE or BETWEEN with a Null operand is neither true
//   nor false (Null); NOT Null is Null; AND and OR follow three-valued
//   logic; a row is kept only when the whole condition is true.
// - x BETWEEN a AND b is x >= a AND x <= b, the bounds taken the other way
//   round when a > b, as Jet does. x LIKE p takes text and a text pattern
//   with Jet's wildcards (like_pattern.h).
// - Any value may stand as a condition (WHERE activo, WHERE Len(x)): it
//   holds when it is a number other than 0.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/exec/expression.h"
#include "db/jet/table/table_definition.h"
#include "db/sql/ast.h"
#include "db/value.h"
#include "platform/clock.h"

namespace act::db::exec {

ValueClass ClassOfColumn(const jet::ColumnDef& column);

// A whole row held in a vector.
class RowVector final : public RowValues {
 public:
  explicit RowVector(const std::vector<Value>& values) : values_(values) {}
  const Value& at(size_t place) override { return values_[place]; }

 private:
  const std::vector<Value>& values_;
};

// The columns of one table, by position: 3061 for a name the table lacks,
// 3096 for an aggregate (a WHERE clause tests rows, not groups).
Resolver TableColumns(const jet::TableDefinition& table, const std::string& statement);

class Condition {
 public:
  // Binds `condition` (refusals as above, quoting `statement`); Now() and
  // Date() read `clock`.
  // `ask_every_node` as in Scope.
  Condition(const sql::Expr& condition, const Resolver& resolve, const std::string& statement,
            const Clock& clock = SystemClock(), bool ask_every_node = false);

  // Whether the row meets the condition.
  bool Holds(RowValues& row) const { return expression_.Test(row) == Truth::kTrue; }
  bool Holds(const std::vector<Value>& row) const {
    RowVector values(row);
    return Holds(values);
  }

  // A column the condition pins to one text: the whole condition, or one
  // of the terms ANDed at its top, is `column = 'text'` (either way
  // round). Only rows whose value there has the compare key `key`
  // (TextCompareKey) can meet the condition.
  struct PinnedText {
    size_t place = 0;
    std::string key;
  };
  const std::optional<PinnedText>& Pinned() const { return pinned_; }

 private:
  Expression expression_;
  std::optional<PinnedText> pinned_;
};

}  // namespace act::db::exec
