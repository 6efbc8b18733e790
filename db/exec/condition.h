// Conditions (WHERE, HAVING) with Jet's rules: the one evaluator that
// SELECT, UPDATE and INSERT ... SELECT share.
//
// - Operands compare only within their kind: text with text, numbers
//   (dates and Yes/No among them) with numbers, binary with binary. A
//   condition that puts text against a number is refused before any row
//   is read (3464, "Data type mismatch in criteria expression"), whatever
//   the rows hold; a binary literal is refused (3251).
// - Text compares in Jet's text order, without regard to letter case
//   (value_order.h); numbers by value, Currency exactly; True is -1.
// - A comparison, IN, LIKE or BETWEEN with a Null operand is neither true
//   nor false (Null); NOT Null is Null; AND and OR follow three-valued
//   logic; a row is kept only when the whole condition is true.
// - x BETWEEN a AND b is x >= a AND x <= b. x LIKE p takes text and a text
//   pattern with Jet's wildcards (like_pattern.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/exec/like_pattern.h"
#include "db/jet/table/table_definition.h"
#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

// What an operand holds, as far as comparing goes.
enum class ValueClass : uint8_t { kNull, kNumber, kText, kBinary };

ValueClass ClassOfColumn(const jet::ColumnDef& column);
ValueClass ClassOfValue(const Value& value);

// The row a condition is tested on: values by place.
class RowValues {
 public:
  virtual const Value& at(size_t place) = 0;

 protected:
  ~RowValues() = default;
};

// A whole row held in a vector.
class RowVector final : public RowValues {
 public:
  explicit RowVector(const std::vector<Value>& values) : values_(values) {}
  const Value& at(size_t place) override { return values_[place]; }

 private:
  const std::vector<Value>& values_;
};

// Where a column (or, in HAVING, an aggregate) of a condition is found in
// the row, and what it holds. A resolver throws for an operand it does not
// know.
struct Place {
  size_t index = 0;
  ValueClass value_class = ValueClass::kNull;
};
using Resolver = std::function<Place(const sql::Expr& operand)>;

// The columns of one table, by position: 3061 for a name the table lacks,
// 3096 for an aggregate (a WHERE clause tests rows, not groups).
Resolver TableColumns(const jet::TableDefinition& table, const std::string& statement);

class Condition {
 public:
  // Binds `condition` (refusals as above, quoting `statement`).
  Condition(const sql::Expr& condition, const Resolver& resolve, const std::string& statement);

  // Whether the row meets the condition.
  bool Holds(RowValues& row) const;

  // A column the condition pins to one text: the whole condition, or one
  // of the terms ANDed at its top, is `column = 'text'` (either way
  // round). Only rows whose value there has the compare key `key`
  // (TextCompareKey) can meet the condition.
  struct PinnedText {
    size_t place = 0;
    std::string key;
  };
  std::optional<PinnedText> Pinned() const { return PinnedIn(root_); }
  bool Holds(const std::vector<Value>& row) const {
    RowVector values(row);
    return Holds(values);
  }

 private:
  enum class Truth : uint8_t { kFalse, kTrue, kNull };
  // An operand made ready for comparing: for a constant, its value and
  // compare key once; for a place, filled from the row each time.
  struct Operand {
    bool constant = true;
    size_t place = 0;
    ValueClass value_class = ValueClass::kNull;
    double number = 0;
    bool currency = false;
    int64_t ten_thousandths = 0;
    std::string key;   // text: its compare key; binary: its bytes
    std::string text;  // a constant text itself (for LIKE)
  };
  struct Node {
    sql::Expr::Kind kind = sql::Expr::Kind::kAnd;
    sql::CompareOp op = sql::CompareOp::kEqual;
    bool negated = false;
    std::vector<Operand> operands;  // of a predicate
    std::vector<Node> children;     // of AND, OR, NOT
    std::optional<LikePattern> pattern;  // LIKE with a constant pattern
  };

  Node Bind(const sql::Expr& e, const Resolver& resolve) const;
  static std::optional<PinnedText> PinnedIn(const Node& node);
  Operand BindOperand(const sql::Expr& e, const Resolver& resolve) const;
  void CheckClasses(const sql::Expr& e, const Node& node) const;
  Truth Evaluate(const Node& node, RowValues& row) const;
  static void SetFrom(const Value& v, Operand& out);
  static const Operand& Fill(const Operand& operand, RowValues& row, Operand& scratch);
  static std::optional<int> Compare(const Operand& a, const Operand& b);

  std::string statement_;
  Node root_;
};

// The pattern of LIKE as text, compiled; 3075 naming the statement when it
// is malformed.
LikePattern CompileLike(const std::string& pattern, const std::string& statement);

}  // namespace act::db::exec
