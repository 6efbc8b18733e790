#include "db/exec/condition.h"

#include "db/errors.h"
#include "db/exec/literal_value.h"
#include "db/exec/value_order.h"
#include "db/sql/printer.h"

namespace act::db::exec {

namespace {

const char* ClassName(ValueClass c) {
  switch (c) {
    case ValueClass::kNumber: return "a number";
    case ValueClass::kText: return "text";
    case ValueClass::kBinary: return "binary";
    case ValueClass::kNull: break;
  }
  return "Null";
}

}  // namespace

ValueClass ClassOfColumn(const jet::ColumnDef& column) {
  switch (column.type) {
    case jet::kTypeText: case jet::kTypeMemo: case jet::kTypeGuid: return ValueClass::kText;
    case jet::kTypeBinary: case jet::kTypeOle: return ValueClass::kBinary;
    default: return ValueClass::kNumber;
  }
}

ValueClass ClassOfValue(const Value& value) {
  if (value.is_null()) return ValueClass::kNull;
  if (value.is_text() || value.kind() == Value::Kind::kGuid) return ValueClass::kText;
  if (value.is_number()) return ValueClass::kNumber;
  return ValueClass::kBinary;
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

LikePattern CompileLike(const std::string& pattern, const std::string& statement) {
  auto compiled = LikePattern::Compile(pattern);
  if (!compiled) {
    throw JetFailure(kJetSyntaxError, "the LIKE pattern '" + pattern + "' is not valid (a '[' left "
                                      "open, or a range that runs backwards), in " +
                                          QuotedStatement(statement));
  }
  return std::move(*compiled);
}

Condition::Condition(const sql::Expr& condition, const Resolver& resolve,
                     const std::string& statement)
    : statement_(statement) {
  root_ = Bind(condition, resolve);
}

Condition::Operand Condition::BindOperand(const sql::Expr& e, const Resolver& resolve) const {
  Operand out;
  if (e.kind != sql::Expr::Kind::kLiteral) {
    Place place = resolve(e);
    out.constant = false;
    out.place = place.index;
    out.value_class = place.value_class;
    return out;
  }
  if (e.literal.kind == sql::Value::Kind::kBinary) {
    throw JetFailure(kJetOperationNotSupported,
                     "binary literal in a condition, in " + QuotedStatement(statement_));
  }
  Value value = LiteralValue(e.literal);
  SetFrom(value, out);
  if (value.is_text()) out.text = value.bytes();
  return out;
}

Condition::Node Condition::Bind(const sql::Expr& e, const Resolver& resolve) const {
  Node node;
  node.kind = e.kind;
  node.op = e.op;
  node.negated = e.negated;
  switch (e.kind) {
    case sql::Expr::Kind::kAnd:
    case sql::Expr::Kind::kOr:
    case sql::Expr::Kind::kNot:
      for (const sql::Expr& child : e.operands) node.children.push_back(Bind(child, resolve));
      return node;
    case sql::Expr::Kind::kCompare:
    case sql::Expr::Kind::kIn:
    case sql::Expr::Kind::kIsNull:
    case sql::Expr::Kind::kLike:
    case sql::Expr::Kind::kBetween:
      for (const sql::Expr& operand : e.operands) {
        node.operands.push_back(BindOperand(operand, resolve));
      }
      CheckClasses(e, node);
      if (e.kind == sql::Expr::Kind::kLike && node.operands[1].constant &&
          e.operands[1].literal.kind == sql::Value::Kind::kText) {
        node.pattern = CompileLike(e.operands[1].literal.text, statement_);
      }
      return node;
    default:
      // The parser makes no bare operand a condition.
      throw JetFailure(kJetOperationNotSupported,
                       "condition " + sql::ToSql(e) + ", in " + QuotedStatement(statement_));
  }
}

void Condition::CheckClasses(const sql::Expr& e, const Node& node) const {
  if (e.kind == sql::Expr::Kind::kIsNull) return;
  // LIKE wants text on both sides; the others one kind throughout.
  ValueClass wanted = e.kind == sql::Expr::Kind::kLike ? ValueClass::kText : ValueClass::kNull;
  const sql::Expr* first = nullptr;
  for (size_t i = 0; i < node.operands.size(); ++i) {
    ValueClass c = node.operands[i].value_class;
    if (c == ValueClass::kNull) continue;
    if (wanted == ValueClass::kNull) {
      wanted = c;
      first = &e.operands[i];
      continue;
    }
    if (c == wanted) continue;
    std::string what = first ? sql::ToSql(*first) + " is " + ClassName(wanted) + " and "
                             : std::string("LIKE takes text, and ");
    throw JetFailure(kJetTypeMismatch, what + sql::ToSql(e.operands[i]) + " is " + ClassName(c) +
                                           ", in " + QuotedStatement(statement_));
  }
}

void Condition::SetFrom(const Value& v, Operand& out) {
  out.value_class = ClassOfValue(v);
  switch (out.value_class) {
    case ValueClass::kNumber:
      out.number = NumberValue(v);
      out.currency = v.kind() == Value::Kind::kCurrency;
      out.ten_thousandths = v.integer();
      break;
    case ValueClass::kText: out.key = TextCompareKey(v.bytes()); break;
    case ValueClass::kBinary: out.key = v.bytes(); break;
    case ValueClass::kNull: break;
  }
}

const Condition::Operand& Condition::Fill(const Operand& operand, RowValues& row,
                                          Operand& scratch) {
  if (operand.constant) return operand;
  SetFrom(row.at(operand.place), scratch);
  return scratch;
}

std::optional<int> Condition::Compare(const Operand& a, const Operand& b) {
  if (a.value_class == ValueClass::kNull || b.value_class == ValueClass::kNull) return std::nullopt;
  if (a.value_class == ValueClass::kNumber) {
    if (a.currency && b.currency) {
      return (a.ten_thousandths > b.ten_thousandths) - (a.ten_thousandths < b.ten_thousandths);
    }
    return (a.number > b.number) - (a.number < b.number);
  }
  int c = a.key.compare(b.key);
  return (c > 0) - (c < 0);
}

std::optional<Condition::PinnedText> Condition::PinnedIn(const Node& node) {
  if (node.kind == sql::Expr::Kind::kAnd) {
    for (const Node& child : node.children) {
      if (auto pinned = PinnedIn(child)) return pinned;
    }
    return std::nullopt;
  }
  if (node.kind != sql::Expr::Kind::kCompare || node.op != sql::CompareOp::kEqual) {
    return std::nullopt;
  }
  const Operand& a = node.operands[0];
  const Operand& b = node.operands[1];
  if (a.constant == b.constant) return std::nullopt;
  const Operand& column = a.constant ? b : a;
  const Operand& constant = a.constant ? a : b;
  if (constant.value_class != ValueClass::kText) return std::nullopt;
  return PinnedText{column.place, constant.key};
}

bool Condition::Holds(RowValues& row) const { return Evaluate(root_, row) == Truth::kTrue; }

Condition::Truth Condition::Evaluate(const Node& node, RowValues& row) const {
  auto truth = [](bool b) { return b ? Truth::kTrue : Truth::kFalse; };
  auto negate = [](Truth t) {
    return t == Truth::kNull ? t : t == Truth::kTrue ? Truth::kFalse : Truth::kTrue;
  };
  Operand scratch[3];
  auto operand = [&](size_t i) -> const Operand& {
    return Fill(node.operands[i], row, scratch[i < 2 ? i : 2]);
  };
  switch (node.kind) {
    case sql::Expr::Kind::kAnd: {
      Truth result = Truth::kTrue;
      for (const Node& child : node.children) {
        Truth t = Evaluate(child, row);
        if (t == Truth::kFalse) return t;
        if (t == Truth::kNull) result = t;
      }
      return result;
    }
    case sql::Expr::Kind::kOr: {
      Truth result = Truth::kFalse;
      for (const Node& child : node.children) {
        Truth t = Evaluate(child, row);
        if (t == Truth::kTrue) return t;
        if (t == Truth::kNull) result = t;
      }
      return result;
    }
    case sql::Expr::Kind::kNot: return negate(Evaluate(node.children[0], row));
    case sql::Expr::Kind::kIsNull:
      return truth((operand(0).value_class == ValueClass::kNull) != node.negated);
    case sql::Expr::Kind::kCompare: {
      const Operand& a = operand(0);
      auto c = Compare(a, operand(1));
      if (!c) return Truth::kNull;
      switch (node.op) {
        case sql::CompareOp::kEqual: return truth(*c == 0);
        case sql::CompareOp::kNotEqual: return truth(*c != 0);
        case sql::CompareOp::kLess: return truth(*c < 0);
        case sql::CompareOp::kLessEqual: return truth(*c <= 0);
        case sql::CompareOp::kGreater: return truth(*c > 0);
        case sql::CompareOp::kGreaterEqual: return truth(*c >= 0);
      }
      return Truth::kNull;
    }
    case sql::Expr::Kind::kIn: {
      const Operand& subject = operand(0);
      Truth result = Truth::kFalse;
      for (size_t i = 1; i < node.operands.size() && result != Truth::kTrue; ++i) {
        auto c = Compare(subject, node.operands[i]);  // the list holds literals only
        if (!c) result = Truth::kNull;
        else if (*c == 0) result = Truth::kTrue;
      }
      return node.negated ? negate(result) : result;
    }
    case sql::Expr::Kind::kBetween: {
      const Operand& subject = operand(0);
      auto low = Compare(subject, operand(1));
      auto high = Compare(subject, operand(2));
      Truth above = low ? truth(*low >= 0) : Truth::kNull;
      Truth below = high ? truth(*high <= 0) : Truth::kNull;
      Truth result = above == Truth::kFalse || below == Truth::kFalse ? Truth::kFalse
                     : above == Truth::kNull || below == Truth::kNull ? Truth::kNull
                                                                      : Truth::kTrue;
      return node.negated ? negate(result) : result;
    }
    case sql::Expr::Kind::kLike: {
      // LIKE reads the texts themselves, not their compare keys.
      auto text = [&](const Operand& o) -> const std::string* {
        if (o.constant) return o.value_class == ValueClass::kNull ? nullptr : &o.text;
        const Value& v = row.at(o.place);
        return v.is_null() ? nullptr : &v.bytes();
      };
      const std::string* subject = text(node.operands[0]);
      const std::string* pattern = text(node.operands[1]);
      if (!subject || !pattern) return Truth::kNull;
      bool matches = node.pattern ? node.pattern->Matches(*subject)
                                  : CompileLike(*pattern, statement_).Matches(*subject);
      return truth(matches != node.negated);
    }
    default: return Truth::kNull;
  }
}

}  // namespace act::db::exec
