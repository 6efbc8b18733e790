#include "db/exec/condition.h"

#include "db/errors.h"
#include "db/exec/value_order.h"
#include "db/sql/printer.h"

namespace act::db::exec {

namespace {

// A term `column = 'text'` (either way round) at the top of `e`, or under
// its top AND.
std::optional<Condition::PinnedText> PinnedIn(const sql::Expr& e, const Resolver& resolve) {
  if (e.kind == sql::Expr::Kind::kAnd) {
    for (const sql::Expr& child : e.operands) {
      if (auto pinned = PinnedIn(child, resolve)) return pinned;
    }
    return std::nullopt;
  }
  if (e.kind != sql::Expr::Kind::kCompare || e.op != sql::CompareOp::kEqual) return std::nullopt;
  const sql::Expr& a = e.operands[0];
  const sql::Expr& b = e.operands[1];
  auto text = [](const sql::Expr& x) {
    return x.kind == sql::Expr::Kind::kLiteral && x.literal.kind == sql::Value::Kind::kText;
  };
  const sql::Expr* column = a.kind == sql::Expr::Kind::kColumn && text(b)   ? &a
                            : b.kind == sql::Expr::Kind::kColumn && text(a) ? &b
                                                                            : nullptr;
  if (!column) return std::nullopt;
  Place place = resolve(*column);
  if (place.index == Place::kNotHere || place.value_class != ValueClass::kText) return std::nullopt;
  return Condition::PinnedText{place.index, TextCompareKey((column == &a ? b : a).literal.text)};
}

}  // namespace

ValueClass ClassOfColumn(const jet::ColumnDef& column) {
  switch (column.type) {
    case jet::kTypeText: case jet::kTypeMemo: case jet::kTypeGuid: return ValueClass::kText;
    case jet::kTypeBinary: case jet::kTypeOle: return ValueClass::kBinary;
    default: return ValueClass::kNumber;
  }
}

Resolver TableColumns(const jet::TableDefinition& table, const std::string& statement) {
  return [&table, statement](const sql::Expr& operand) {
    if (operand.kind == sql::Expr::Kind::kAggregate) {
      throw JetFailure(kJetAggregateInWhere, sql::ToSql(operand) + ", in " + QuotedStatement(statement));
    }
    const jet::ColumnDef* column = table.FindColumn(operand.column);
    if (!column) {
      throw JetFailure(kJetTooFewParameters,
                       "no column '" + operand.column + "' in the table, in " + QuotedStatement(statement));
    }
    return Place{size_t(column - table.columns.data()), ClassOfColumn(*column)};
  };
}

Condition::Condition(const sql::Expr& condition, const Resolver& resolve,
                     const std::string& statement, const Clock& clock, bool ask_every_node)
    : expression_(condition, Scope{resolve, statement, &clock, ask_every_node}) {
  // A condition that depends on no row is judged now: text that is no
  // number is refused before any row is read.
  if (const Value* constant = expression_.constant()) {
    try {
      TruthOf(*constant);
    } catch (const Error& e) {
      throw Error(e.number(), e.text(), e.detail() + ", in " + QuotedStatement(statement));
    }
  }
  pinned_ = PinnedIn(condition, resolve);
}

}  // namespace act::db::exec
