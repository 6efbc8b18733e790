// One expression of a statement bound to the rows it runs over: the one
// evaluator of values and conditions that SELECT, UPDATE and INSERT share.
//
// Binding resolves columns (and, in a grouped SELECT, aggregates and grouped
// expressions) to places in the row, checks what can be checked before any
// row is read, and folds what depends on no row (literals, Now(), a
// DateSerial of constants) into a constant. Comparisons follow Jet's rules
// (condition.h); operators arithmetic.h; functions functions.h.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/exec/arithmetic.h"
#include "db/exec/like_pattern.h"
#include "db/sql/ast.h"
#include "db/value.h"
#include "platform/clock.h"

namespace act::db::exec {

// What an operand holds, as far as comparing goes.
enum class ValueClass : uint8_t { kNull, kNumber, kText, kBinary };

// The row an expression is evaluated on: values by place.
class RowValues {
 public:
  virtual const Value& at(size_t place) = 0;

 protected:
  ~RowValues() = default;
};

// Where a column (or, in HAVING, an aggregate) of an expression is found in
// the row, and what it holds. A resolver throws for an operand it does not
// know; when it is asked about any node (Scope::ask_every_node), it answers
// kNotHere for those the expression computes itself.
struct Place {
  static constexpr size_t kNotHere = size_t(-1);
  size_t index = 0;
  ValueClass value_class = ValueClass::kNull;
};
using Resolver = std::function<Place(const sql::Expr& operand)>;

// What binding an expression needs besides the expression.
struct Scope {
  Resolver resolve;
  std::string statement;  // quoted in refusals
  const Clock* clock = nullptr;  // Now() and Date(); the system's when none
  bool ask_every_node = false;   // the resolver knows computed values too
};

class Expression {
 public:
  Expression(const sql::Expr& e, const Scope& scope);
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  Value Evaluate(RowValues& row) const;
  Truth Test(RowValues& row) const;

  // The place of a bare column (or resolved node); nullopt when computed.
  std::optional<size_t> place() const;
  // Its class as known before any row: kNull when it depends on the row.
  ValueClass value_class() const;
  // The value when it depends on no row.
  const Value* constant() const;

  struct Node;

 private:
  std::unique_ptr<Node> root_;
  std::string statement_;
};

// The class of a value, and of the values a column holds.
ValueClass ClassOfValue(const Value& value);

// The pattern of LIKE as text, compiled; 3075 naming the statement when it
// is malformed.
LikePattern CompileLike(const std::string& pattern, const std::string& statement);

}  // namespace act::db::exec
