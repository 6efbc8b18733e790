#include "db/exec/condition.h"

#include <optional>

#include "db/exec/literal_value.h"
#include "db/jet/index_key.h"
#include "db/jet/text.h"
#include "db/jet/value_conversion.h"
#include "db/jet/write_errors.h"

namespace act::db::exec {

namespace {

int ColumnIndex(const jet::TableDefinition& table, const std::string& name) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (jet::SameName(table.columns[i].name, name)) return int(i);
  }
  return -1;
}

struct Operand {
  Value value;
  const jet::ColumnDef* column = nullptr;  // when the operand is a column
};

Operand Evaluate(const sql::Expr& e, const jet::TableDefinition& table,
                 const std::vector<Value>& row) {
  if (e.kind == sql::Expr::Kind::kColumn) {
    int i = ColumnIndex(table, e.column);
    return {row[i], &table.columns[i]};
  }
  return {LiteralValue(e.literal), nullptr};
}

// Text in sort-key form, so that "ABC" equals "abc" as in Jet.
jet::KeyBytes TextKey(const std::string& utf8) {
  auto cp = jet::Utf8ToCp1252(utf8);
  if (!cp) return jet::KeyBytes(utf8.begin(), utf8.end());
  return jet::Jet3TextKey(*cp);
}

// <0, 0, >0, or nullopt when the two do not compare (Null, or no common type).
std::optional<int> Compare(const Operand& a, const Operand& b) {
  if (a.value.is_null() || b.value.is_null()) return std::nullopt;
  Value x = a.value, y = b.value;
  // A literal takes the type of the column it is compared with.
  if (a.column && !b.column) {
    auto c = jet::ConvertForColumn(*a.column, y);
    if (!c) return std::nullopt;
    y = *c;
  } else if (b.column && !a.column) {
    auto c = jet::ConvertForColumn(*b.column, x);
    if (!c) return std::nullopt;
    x = *c;
  }
  if (x.is_text() && y.is_text()) {
    int r = jet::CompareKeys(TextKey(x.bytes()), TextKey(y.bytes()));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  if (x.is_number() && y.is_number()) {
    double p = x.AsDouble(), q = y.AsDouble();
    return p < q ? -1 : p > q ? 1 : 0;
  }
  if (x.kind() == y.kind()) return x.bytes() < y.bytes() ? -1 : x.bytes() > y.bytes() ? 1 : 0;
  return std::nullopt;
}

bool Holds(int r, sql::CompareOp op) {
  switch (op) {
    case sql::CompareOp::kEqual: return r == 0;
    case sql::CompareOp::kNotEqual: return r != 0;
    case sql::CompareOp::kLess: return r < 0;
    case sql::CompareOp::kLessEqual: return r <= 0;
    case sql::CompareOp::kGreater: return r > 0;
    case sql::CompareOp::kGreaterEqual: return r >= 0;
  }
  return false;
}

// Three-valued: nullopt is Jet's Null (unknown).
std::optional<bool> Test(const sql::Expr& e, const jet::TableDefinition& table,
                         const std::vector<Value>& row) {
  switch (e.kind) {
    case sql::Expr::Kind::kLiteral: {
      Value v = LiteralValue(e.literal);
      if (v.is_null()) return std::nullopt;
      return v.is_number() ? v.AsDouble() != 0 : !v.bytes().empty();
    }
    case sql::Expr::Kind::kColumn: {
      Value v = Evaluate(e, table, row).value;
      if (v.is_null()) return std::nullopt;
      return v.is_number() ? v.AsDouble() != 0 : !v.bytes().empty();
    }
    case sql::Expr::Kind::kCompare: {
      auto r = Compare(Evaluate(e.operands[0], table, row), Evaluate(e.operands[1], table, row));
      if (!r) return std::nullopt;
      return Holds(*r, e.op);
    }
    case sql::Expr::Kind::kAnd: {
      bool unknown = false;
      for (const sql::Expr& o : e.operands) {
        auto t = Test(o, table, row);
        if (t && !*t) return false;
        if (!t) unknown = true;
      }
      if (unknown) return std::nullopt;
      return true;
    }
    case sql::Expr::Kind::kOr: {
      bool unknown = false;
      for (const sql::Expr& o : e.operands) {
        auto t = Test(o, table, row);
        if (t && *t) return true;
        if (!t) unknown = true;
      }
      if (unknown) return std::nullopt;
      return false;
    }
    case sql::Expr::Kind::kNot: {
      auto t = Test(e.operands[0], table, row);
      if (!t) return std::nullopt;
      return !*t;
    }
    case sql::Expr::Kind::kIn: {
      Operand left = Evaluate(e.operands[0], table, row);
      if (left.value.is_null()) return std::nullopt;
      bool found = false, unknown = false;
      for (size_t i = 1; i < e.operands.size(); ++i) {
        auto r = Compare(left, Evaluate(e.operands[i], table, row));
        if (!r) unknown = true;
        else if (*r == 0) found = true;
      }
      if (found) return !e.negated;
      if (unknown) return std::nullopt;
      return e.negated;
    }
    case sql::Expr::Kind::kIsNull: {
      bool null = Evaluate(e.operands[0], table, row).value.is_null();
      return e.negated ? !null : null;
    }
  }
  return std::nullopt;
}

void CheckColumns(const sql::Expr& e, const jet::TableDefinition& table,
                  const std::string& statement) {
  if (e.kind == sql::Expr::Kind::kColumn && ColumnIndex(table, e.column) < 0) {
    throw jet::WriteFailure(jet::kJetTooFewParameters,
                            "'" + e.column + "' is no column of the table, in \"" + statement + "\"");
  }
  for (const sql::Expr& o : e.operands) CheckColumns(o, table, statement);
}

}  // namespace

void CheckConditionColumns(const sql::Expr& condition, const jet::TableDefinition& table,
                           const std::string& statement) {
  CheckColumns(condition, table, statement);
}

bool RowMatches(const sql::Expr& condition, const jet::TableDefinition& table,
                const std::vector<Value>& row) {
  auto t = Test(condition, table, row);
  return t && *t;
}

}  // namespace act::db::exec
