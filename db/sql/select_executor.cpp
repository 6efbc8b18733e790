#include "db/sql/select_executor.h"

#include "db/errors.h"
#include "db/jet/index_key.h"
#include "db/jet/text.h"
#include "db/sql/date_literal.h"

namespace act::db {

namespace {

std::string Quote(const std::string& statement) { return "\"" + statement + "\""; }

// The Jet 3 key of a text, or its ASCII-lowercased bytes (marked by a
// leading 0xFF, which no key starts with) when it has no Windows-1252 form.
jet::KeyBytes CompareKey(std::string_view text) {
  if (auto cp1252 = jet::Utf8ToCp1252(text)) return jet::Jet3TextKey(*cp1252);
  jet::KeyBytes key{0xFF};
  for (char c : text) key.push_back(uint8_t(c >= 'A' && c <= 'Z' ? c + 32 : c));
  return key;
}

}  // namespace

int JetTextCompare(std::string_view a, std::string_view b) {
  return jet::CompareKeys(CompareKey(a), CompareKey(b));
}

bool JetTextEqual(std::string_view a, std::string_view b) { return JetTextCompare(a, b) == 0; }

// A condition operand reduced to what comparisons need.
struct SelectCursor::Operand {
  enum class Kind { kNull, kText, kNumber } kind = Kind::kNull;
  std::string text;
  double number = 0;
};

SelectCursor::SelectCursor(jet::Database& db, const sql::SelectStatement& select,
                           const std::string& statement_text)
    : statement_(statement_text),
      table_([&] {
        if (!db.FindTable(select.table)) {
          throw JetFailure(kJetTableNotFound, "'" + select.table + "' in " + Quote(statement_text));
        }
        return db.Table(select.table);
      }()),
      scan_(db.pager(), db.format(), *table_),
      where_(select.where) {
  if (!select.order_by.empty()) {
    throw JetFailure(kJetOperationNotSupported, "ORDER BY in " + Quote(statement_));
  }
  if (select.columns.empty()) {
    for (size_t i = 0; i < table_->columns.size(); ++i) selected_.push_back(i);
  } else {
    for (const std::string& name : select.columns) {
      const jet::ColumnDef* column = table_->FindColumn(name);
      if (!column) {
        throw JetFailure(kJetTooFewParameters,
                         "no column '" + name + "' in table '" + select.table + "': " +
                             Quote(statement_));
      }
      selected_.push_back(size_t(column - table_->columns.data()));
    }
  }
  for (size_t i : selected_) names_.push_back(table_->columns[i].name);
  values_.resize(selected_.size());
  if (where_) CheckExpr(*where_);
}

void SelectCursor::CheckExpr(const sql::Expr& e) {
  if (e.kind == sql::Expr::Kind::kColumn && !table_->FindColumn(e.column)) {
    throw JetFailure(kJetTooFewParameters, "no column '" + e.column + "' in " + Quote(statement_));
  }
  if (e.kind == sql::Expr::Kind::kLiteral && e.literal.kind == sql::Value::Kind::kBinary) {
    throw JetFailure(kJetOperationNotSupported, "binary literal in " + Quote(statement_));
  }
  for (const sql::Expr& operand : e.operands) CheckExpr(operand);
}

std::optional<size_t> SelectCursor::Find(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (jet::SameName(names_[i], name)) return i;
  }
  return std::nullopt;
}

void SelectCursor::Rewind() { scan_.Rewind(); }

Value SelectCursor::ColumnValue(size_t table_column) { return scan_.Get(table_column); }

bool SelectCursor::Next() {
  while (scan_.Next()) {
    if (where_ && Evaluate(*where_) != Truth::kTrue) continue;
    for (size_t i = 0; i < selected_.size(); ++i) values_[i] = ColumnValue(selected_[i]);
    return true;
  }
  return false;
}

SelectCursor::Operand SelectCursor::Resolve(const sql::Expr& e) {
  Operand out;
  if (e.kind == sql::Expr::Kind::kColumn) {
    const jet::ColumnDef* column = table_->FindColumn(e.column);
    Value v = ColumnValue(size_t(column - table_->columns.data()));
    if (v.is_null()) return out;
    if (v.is_text()) {
      out.kind = Operand::Kind::kText;
      out.text = v.bytes();
    } else if (v.is_number()) {
      out.kind = Operand::Kind::kNumber;
      // Jet's True is -1.
      out.number = v.kind() == Value::Kind::kBoolean ? -double(v.integer()) : v.AsDouble();
    } else {
      out.kind = Operand::Kind::kText;
      out.text = v.bytes();
    }
    return out;
  }
  const sql::Value& literal = e.literal;
  switch (literal.kind) {
    case sql::Value::Kind::kNull: break;
    case sql::Value::Kind::kBoolean:
      out.kind = Operand::Kind::kNumber;
      out.number = literal.boolean ? -1 : 0;
      break;
    case sql::Value::Kind::kInteger:
      out.kind = Operand::Kind::kNumber;
      out.number = double(literal.integer);
      break;
    case sql::Value::Kind::kNumber:
      out.kind = Operand::Kind::kNumber;
      out.number = literal.number;
      break;
    case sql::Value::Kind::kDate:
      out.kind = Operand::Kind::kNumber;
      out.number = sql::ToJetDate(literal.date);
      break;
    default:
      out.kind = Operand::Kind::kText;
      out.text = literal.text;
  }
  return out;
}

SelectCursor::Truth SelectCursor::Evaluate(const sql::Expr& e) {
  using Kind = sql::Expr::Kind;
  auto truth = [](bool b) { return b ? Truth::kTrue : Truth::kFalse; };
  // <0, 0, >0, or nullopt when either side is Null.
  auto compare = [&](const Operand& a, const Operand& b) -> std::optional<int> {
    if (a.kind == Operand::Kind::kNull || b.kind == Operand::Kind::kNull) return std::nullopt;
    if (a.kind != b.kind) {
      throw JetFailure(kJetTypeMismatch, Quote(statement_));
    }
    if (a.kind == Operand::Kind::kText) return JetTextCompare(a.text, b.text);
    return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
  };
  switch (e.kind) {
    case Kind::kCompare: {
      auto c = compare(Resolve(e.operands[0]), Resolve(e.operands[1]));
      if (!c) return Truth::kUnknown;
      switch (e.op) {
        case sql::CompareOp::kEqual: return truth(*c == 0);
        case sql::CompareOp::kNotEqual: return truth(*c != 0);
        case sql::CompareOp::kLess: return truth(*c < 0);
        case sql::CompareOp::kLessEqual: return truth(*c <= 0);
        case sql::CompareOp::kGreater: return truth(*c > 0);
        case sql::CompareOp::kGreaterEqual: return truth(*c >= 0);
      }
      return Truth::kUnknown;
    }
    case Kind::kIn: {
      Operand subject = Resolve(e.operands[0]);
      Truth result = Truth::kFalse;
      for (size_t i = 1; i < e.operands.size(); ++i) {
        auto c = compare(subject, Resolve(e.operands[i]));
        if (!c) {
          result = Truth::kUnknown;
        } else if (*c == 0) {
          result = Truth::kTrue;
          break;
        }
      }
      if (!e.negated || result == Truth::kUnknown) return result;
      return result == Truth::kTrue ? Truth::kFalse : Truth::kTrue;
    }
    case Kind::kIsNull: {
      bool is_null = Resolve(e.operands[0]).kind == Operand::Kind::kNull;
      return truth(is_null != e.negated);
    }
    case Kind::kAnd: {
      Truth result = Truth::kTrue;
      for (const sql::Expr& operand : e.operands) {
        Truth t = Evaluate(operand);
        if (t == Truth::kFalse) return Truth::kFalse;
        if (t == Truth::kUnknown) result = Truth::kUnknown;
      }
      return result;
    }
    case Kind::kOr: {
      Truth result = Truth::kFalse;
      for (const sql::Expr& operand : e.operands) {
        Truth t = Evaluate(operand);
        if (t == Truth::kTrue) return Truth::kTrue;
        if (t == Truth::kUnknown) result = Truth::kUnknown;
      }
      return result;
    }
    case Kind::kNot: {
      Truth t = Evaluate(e.operands[0]);
      return t == Truth::kUnknown ? t : t == Truth::kTrue ? Truth::kFalse : Truth::kTrue;
    }
    default:
      // A bare column or literal as a whole condition.
      throw JetFailure(kJetOperationNotSupported, "condition in " + Quote(statement_));
  }
}

}  // namespace act::db
