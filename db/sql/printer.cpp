#include "db/sql/printer.h"

#include <cstdio>

namespace act::sql {
namespace {

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += ", ";
    out += QuoteName(n);
  }
  return out;
}

const char* OperatorText(CompareOp op) {
  switch (op) {
    case CompareOp::kEqual: return "=";
    case CompareOp::kNotEqual: return "<>";
    case CompareOp::kLess: return "<";
    case CompareOp::kLessEqual: return "<=";
    case CompareOp::kGreater: return ">";
    case CompareOp::kGreaterEqual: return ">=";
  }
  return "=";
}

// Parentheses only where the tree needs them (an OR or a nested chain under
// AND, an AND or OR under NOT, a chain of the same kind kept apart), so that
// the printed condition nests no deeper than the one that was parsed.
std::string Operand(const Expr& e, Expr::Kind parent) {
  std::string text = ToSql(e);
  bool chain = e.kind == Expr::Kind::kAnd || e.kind == Expr::Kind::kOr;
  bool needs = chain && !(parent == Expr::Kind::kOr && e.kind == Expr::Kind::kAnd);
  return needs ? "(" + text + ")" : text;
}

const char* ArithmeticText(ArithmeticOp op) {
  switch (op) {
    case ArithmeticOp::kAdd: return "+";
    case ArithmeticOp::kSubtract: return "-";
    case ArithmeticOp::kMultiply: return "*";
    case ArithmeticOp::kDivide: return "/";
    case ArithmeticOp::kIntegerDivide: return "\\";
    case ArithmeticOp::kModulo: return "MOD";
    case ArithmeticOp::kPower: return "^";
    case ArithmeticOp::kConcatenate: return "&";
  }
  return "+";
}

// How tightly a node binds, as the parser reads it: predicates and logic
// 0, then &, + and -, Mod, \, * and /, unary minus, ^, and single terms.
int Precedence(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kArithmetic:
      switch (e.arithmetic) {
        case ArithmeticOp::kConcatenate: return 1;
        case ArithmeticOp::kAdd: case ArithmeticOp::kSubtract: return 2;
        case ArithmeticOp::kModulo: return 3;
        case ArithmeticOp::kIntegerDivide: return 4;
        case ArithmeticOp::kMultiply: case ArithmeticOp::kDivide: return 5;
        case ArithmeticOp::kPower: return 7;
      }
      return 0;
    case Expr::Kind::kNegate: return 6;
    case Expr::Kind::kLiteral: {
      // A negative number reads back as a sign before a number.
      const Value& v = e.literal;
      bool negative = (v.kind == Value::Kind::kInteger && v.integer < 0) ||
                      (v.kind == Value::Kind::kNumber && !v.text.empty() && v.text[0] == '-');
      return negative ? 6 : 8;
    }
    case Expr::Kind::kColumn: case Expr::Kind::kAggregate: case Expr::Kind::kFunction:
    case Expr::Kind::kSubquery: case Expr::Kind::kExists: return 8;
    default: return 0;
  }
}

// An operand in parentheses when it binds less tightly than `least`.
std::string Term(const Expr& e, int least) {
  return Precedence(e) < least ? "(" + ToSql(e) + ")" : ToSql(e);
}

const char* AggregateName(Aggregate a) {
  switch (a) {
    case Aggregate::kCount: return "COUNT";
    case Aggregate::kSum: return "SUM";
    case Aggregate::kAvg: return "AVG";
    case Aggregate::kMin: return "MIN";
    case Aggregate::kMax: return "MAX";
  }
  return "COUNT";
}

std::string Select(const SelectStatement& s);

// SELECT ... up to HAVING: one part of a union.
std::string SelectPart(const SelectStatement& s);

std::string Select(const SelectStatement& s) {
  std::string out = SelectPart(s);
  for (const SelectStatement& next : s.unions)
    out += (s.union_all ? " UNION ALL " : " UNION ") + SelectPart(next);
  for (std::size_t i = 0; i < s.order_by.size(); ++i) {
    out += i == 0 ? " ORDER BY " : ", ";
    out += ToSql(s.order_by[i].expr) + (s.order_by[i].descending ? " DESC" : "");
  }
  return out;
}

std::string SelectPart(const SelectStatement& s) {
  std::string out = "SELECT ";
  if (s.distinct) out += "DISTINCT ";
  if (s.top) out += "TOP " + std::to_string(*s.top) + (s.top_percent ? " PERCENT " : " ");
  if (s.columns.empty()) out += "*";
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    if (i) out += ", ";
    if (!s.columns[i].all_of.empty()) {
      out += QuoteName(s.columns[i].all_of) + ".*";
      continue;
    }
    out += ToSql(s.columns[i].expr);
    if (!s.columns[i].alias.empty()) out += " AS " + QuoteName(s.columns[i].alias);
  }
  out += " FROM " + ToSql(s.from);
  if (s.where) out += " WHERE " + ToSql(*s.where);
  for (std::size_t i = 0; i < s.group_by.size(); ++i)
    out += (i == 0 ? " GROUP BY " : ", ") + ToSql(s.group_by[i]);
  if (s.having) out += " HAVING " + ToSql(*s.having);
  return out;
}

std::string InsertTarget(const std::string& table, const std::optional<std::string>& file,
                         const std::vector<std::string>& columns) {
  std::string out = "INSERT INTO " + QuoteName(table);
  if (!columns.empty()) out += " (" + JoinNames(columns) + ")";
  if (file) out += " IN " + QuoteText(*file);
  return out;
}

std::string ColumnDefinition(const ColumnDef& c) {
  std::string out = QuoteName(c.name) + " " + DdlTypeName(c.type);
  if (c.type == ColumnType::kText || c.type == ColumnType::kBinary)
    out.append("(").append(std::to_string(c.size)).append(")");
  if (c.not_null) out += " NOT NULL";
  return out;
}

std::string Constraint(const TableConstraint& t) {
  std::string out;
  if (!t.name.empty()) out += "CONSTRAINT " + QuoteName(t.name) + " ";
  out += t.kind == TableConstraint::Kind::kPrimaryKey ? "PRIMARY KEY" : "UNIQUE";
  return out + " (" + JoinNames(t.columns) + ")";
}

struct StatementPrinter {
  std::string operator()(const SelectStatement& s) const { return Select(s); }
  std::string operator()(const UpdateStatement& u) const {
    std::string out = "UPDATE " + QuoteName(u.table) + " SET ";
    for (std::size_t i = 0; i < u.assignments.size(); ++i) {
      if (i) out += ", ";
      out += QuoteName(u.assignments[i].column) + " = " + ToSql(u.assignments[i].value);
    }
    if (u.where) out += " WHERE " + ToSql(*u.where);
    return out;
  }
  std::string operator()(const InsertSelectStatement& s) const {
    return InsertTarget(s.table, s.target_file, s.columns) + " " + Select(s.source);
  }
  std::string operator()(const InsertValuesStatement& s) const {
    std::string out = InsertTarget(s.table, s.target_file, s.columns) + " VALUES (";
    for (std::size_t i = 0; i < s.values.size(); ++i) out += (i ? ", " : "") + ToSql(s.values[i]);
    return out + ")";
  }
  std::string operator()(const CreateTableStatement& c) const {
    std::string out = "CREATE TABLE " + QuoteName(c.table) + " (";
    bool first = true;
    for (const ColumnDef& col : c.columns) {
      out += (first ? "" : ", ") + ColumnDefinition(col);
      first = false;
    }
    for (const TableConstraint& t : c.constraints) {
      out += (first ? "" : ", ") + Constraint(t);
      first = false;
    }
    return out + ")";
  }
  std::string operator()(const CreateIndexStatement& c) const {
    std::string out = std::string("CREATE ") + (c.unique ? "UNIQUE " : "") + "INDEX " +
                      QuoteName(c.index) + " ON " + QuoteName(c.table) + " (";
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
      if (i) out += ", ";
      out += QuoteName(c.columns[i].name) + (c.columns[i].descending ? " DESC" : "");
    }
    out += ")";
    if (c.primary) out += " WITH PRIMARY";
    else if (c.disallow_null) out += " WITH DISALLOW NULL";
    else if (c.ignore_null) out += " WITH IGNORE NULL";
    return out;
  }
  std::string operator()(const DeleteStatement& d) const {
    std::string out = "DELETE FROM " + QuoteName(d.table);
    if (d.where) out += " WHERE " + ToSql(*d.where);
    return out;
  }
  std::string operator()(const DropTableStatement& d) const {
    return "DROP TABLE " + QuoteName(d.table);
  }
  std::string operator()(const DropIndexStatement& d) const {
    return "DROP INDEX " + QuoteName(d.index) + " ON " + QuoteName(d.table);
  }
  std::string operator()(const AlterTableStatement& a) const {
    std::string out = "ALTER TABLE " + QuoteName(a.table);
    if (a.action == AlterTableStatement::Action::kDropColumn)
      return out + " DROP COLUMN " + QuoteName(a.column.name);
    return out + " ADD COLUMN " + ColumnDefinition(a.column);
  }
};

}  // namespace

std::string QuoteName(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 2);
  out += '[';
  out.append(name);
  out += ']';
  return out;
}

std::string QuoteText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string ToSql(const Value& value) {
  switch (value.kind) {
    case Value::Kind::kNull: return "NULL";
    case Value::Kind::kBoolean: return value.boolean ? "TRUE" : "FALSE";
    case Value::Kind::kInteger: return std::to_string(value.integer);
    case Value::Kind::kNumber: return value.text;
    case Value::Kind::kText: return QuoteText(value.text);
    case Value::Kind::kDate: {
      char buffer[48];
      const DateTime& d = value.date;
      std::snprintf(buffer, sizeof buffer, "#%04d-%02d-%02d %02d:%02d:%02d#", d.year, d.month,
                    d.day, d.hour, d.minute, d.second);
      return buffer;
    }
    case Value::Kind::kBinary: {
      static const char kHex[] = "0123456789ABCDEF";
      if (value.text.empty()) return "NULL";  // no literal writes zero bytes
      std::string out = "0x";
      for (unsigned char c : value.text) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
      return out;
    }
  }
  return "NULL";
}

std::string ToSql(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kLiteral: return ToSql(e.literal);
    case Expr::Kind::kColumn:
      return (e.table.empty() ? "" : QuoteName(e.table) + ".") + QuoteName(e.column);
    case Expr::Kind::kFunction: {
      std::string out = e.function + "(";
      for (std::size_t i = 0; i < e.operands.size(); ++i)
        out += (i ? ", " : "") + ToSql(e.operands[i]);
      return out + ")";
    }
    case Expr::Kind::kArithmetic: {
      // Left-chained: the right operand of the same level needs parentheses.
      const int level = Precedence(e);
      return Term(e.operands[0], level) + " " + ArithmeticText(e.arithmetic) + " " +
             Term(e.operands[1], level + 1);
    }
    case Expr::Kind::kNegate: {
      // -(5), not -5: that would read back as the literal.
      const Expr& o = e.operands[0];
      return "-" + (o.kind == Expr::Kind::kLiteral || o.kind == Expr::Kind::kNegate
                        ? "(" + ToSql(o) + ")"
                        : Term(o, 6));
    }
    case Expr::Kind::kCompare:
      return Term(e.operands[0], 1) + " " + OperatorText(e.op) + " " + Term(e.operands[1], 1);
    case Expr::Kind::kAnd:
    case Expr::Kind::kOr: {
      std::string out;
      for (const Expr& o : e.operands) {
        if (!out.empty()) out += e.kind == Expr::Kind::kAnd ? " AND " : " OR ";
        out += Operand(o, e.kind);
      }
      return out;
    }
    case Expr::Kind::kNot: return "NOT " + Operand(e.operands[0], e.kind);
    case Expr::Kind::kSubquery: return "(" + Select(*e.subquery) + ")";
    case Expr::Kind::kExists: return "EXISTS (" + Select(*e.subquery) + ")";
    case Expr::Kind::kIn: {
      if (e.operands.size() == 2 && e.operands[1].kind == Expr::Kind::kSubquery)
        return Term(e.operands[0], 1) + (e.negated ? " NOT IN " : " IN ") + ToSql(e.operands[1]);
      std::string out = Term(e.operands[0], 1) + (e.negated ? " NOT IN (" : " IN (");
      for (std::size_t i = 1; i < e.operands.size(); ++i)
        out += (i > 1 ? ", " : "") + ToSql(e.operands[i]);
      return out + ")";
    }
    case Expr::Kind::kIsNull:
      return Term(e.operands[0], 1) + (e.negated ? " IS NOT NULL" : " IS NULL");
    case Expr::Kind::kAggregate:
      return std::string(AggregateName(e.aggregate)) + "(" +
             (e.operands.empty() ? "*" : ToSql(e.operands[0])) + ")";
    case Expr::Kind::kLike:
      return Term(e.operands[0], 1) + (e.negated ? " NOT LIKE " : " LIKE ") + Term(e.operands[1], 1);
    case Expr::Kind::kBetween:
      return Term(e.operands[0], 1) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
             Term(e.operands[1], 1) + " AND " + Term(e.operands[2], 1);
  }
  return "";
}

std::string ToSql(const Source& s) {
  if (s.kind == Source::Kind::kTable) {
    std::string out = QuoteName(s.table);
    if (s.file) out += " IN " + QuoteText(*s.file);
    if (!s.alias.empty()) out += " AS " + QuoteName(s.alias);
    return out;
  }
  // Every join in parentheses, as Jet writes them.
  auto side = [](const Source& x) {
    return x.kind == Source::Kind::kTable ? ToSql(x) : "(" + ToSql(x) + ")";
  };
  if (s.kind == Source::Kind::kCross) {
    const Source& left = s.sides[0];
    return (left.kind == Source::Kind::kCross ? ToSql(left) : side(left)) + ", " + side(s.sides[1]);
  }
  const char* join = s.kind == Source::Kind::kInner  ? " INNER JOIN "
                     : s.kind == Source::Kind::kLeft ? " LEFT JOIN "
                                                     : " RIGHT JOIN ";
  return side(s.sides[0]) + join + side(s.sides[1]) + " ON " + ToSql(*s.on);
}

std::string ToSql(const Statement& statement) { return std::visit(StatementPrinter{}, statement); }

}  // namespace act::sql
