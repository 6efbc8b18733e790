// The parsed form of the Jet SQL statements that the engine runs.
//
// The parser (parser.h) turns one statement text into a Statement; the
// executors walk it. The tree is deliberately small: the engine runs the
// statements of the database carry-over and of the jetsql tool, not Access
// queries in general.
//
//   SELECT [DISTINCT] [TOP n [PERCENT]] * | item [AS name], ... FROM source, ...
//          [WHERE cond] [GROUP BY expr, ...] [HAVING cond]
//          [UNION [ALL] SELECT ...]... [ORDER BY expr | alias | ordinal [ASC|DESC], ...]
//     where an item is an expression or t.*; a source is
//     `table [IN 'file'] [[AS] alias]`, or two sources joined
//     (`a INNER|LEFT [OUTER]|RIGHT [OUTER] JOIN b ON cond`), in parentheses
//     as Jet writes them; a column may be qualified (`t.col`) by its
//     table's name or alias
//   UPDATE table SET col = expr, ... [WHERE cond]
//   INSERT INTO table [(col, ...)] [IN 'file'] SELECT ...        (any order
//   INSERT INTO table [(col, ...)] [IN 'file'] VALUES (expr, ...) of the two)
//   CREATE TABLE table (col TYPE [(n)] [NOT NULL] [PRIMARY KEY|UNIQUE], ...,
//                       [CONSTRAINT name PRIMARY KEY|UNIQUE (col, ...)])
//   CREATE [UNIQUE] INDEX name ON table (col [ASC|DESC], ...)
//                       [WITH PRIMARY | DISALLOW NULL | IGNORE NULL]
//   DELETE [table.* | *] FROM table [WHERE cond]
//   DROP TABLE table
//   DROP INDEX name ON table
//   ALTER TABLE table ADD [COLUMN] col TYPE [(n)] [NOT NULL]
//   ALTER TABLE table DROP [COLUMN] col
//
// Values and conditions are one kind of tree (Expr), as in Jet: a condition
// is any expression (AND/OR/NOT of predicates, or a value standing alone, as
// in WHERE activo), and a predicate (a comparison, IN, LIKE, BETWEEN, IS
// NULL) may stand where a value does. Operands are literals, columns,
// aggregates, arithmetic (+ - * / \ Mod ^ &, unary minus) and function
// calls. Names are stored as written, without brackets; Jet compares names
// without regard to letter case, so executors must too. All texts are valid
// UTF-8 (the parser refuses statements that are not). A minus sign before a
// number is part of the literal (-5 is the Integer -5).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace act::sql {

// A calendar date and time of day as written in a #...# literal. A literal
// with only a date has time 00:00:00; one with only a time has Jet's day
// zero, 1899-12-30 (see ToJetDate in date_literal.h).
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const DateTime&) const = default;
};

// A literal value.
struct Value {
  enum class Kind {
    kNull,     // NULL
    kBoolean,  // TRUE / FALSE                        -> boolean
    kInteger,  // whole number within 64 bits         -> integer
    kNumber,   // with '.', an exponent, or too large -> number, and text holds
               //   the literal as written (sign included) so that CURRENCY
               //   can be converted exactly
    kText,     // 'quoted' or "quoted"                -> text (UTF-8)
    kDate,     // #...#                               -> date
    kBinary,   // 0x0A1B...                           -> text holds the bytes
  };

  Kind kind = Kind::kNull;
  bool boolean = false;
  std::int64_t integer = 0;
  double number = 0;
  std::string text;
  DateTime date;

  static Value Null() { return Value{}; }
  static Value Boolean(bool b) { Value v; v.kind = Kind::kBoolean; v.boolean = b; return v; }
  static Value Integer(std::int64_t i) { Value v; v.kind = Kind::kInteger; v.integer = i; return v; }
  static Value Text(std::string s) { Value v; v.kind = Kind::kText; v.text = std::move(s); return v; }

  bool operator==(const Value&) const = default;
};

enum class CompareOp { kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual };

enum class Aggregate { kCount, kSum, kAvg, kMin, kMax };

// The binary operators of values, Jet's (and Visual Basic's) set.
enum class ArithmeticOp {
  kAdd, kSubtract, kMultiply, kDivide,
  kIntegerDivide,  // a \ b
  kModulo,         // a Mod b
  kPower,          // a ^ b
  kConcatenate,    // a & b
};

struct SelectStatement;

// An expression. The tree never nests deeper than kMaxExpressionDepth
// (parser.h), so executors may walk it recursively.
struct Expr {
  enum class Kind {
    kLiteral,    // literal
    kColumn,     // column (a name), of `table` when qualified
    kAggregate,  // aggregate(operands[0]); COUNT(*) has no operand
    kFunction,   // function(operands...), `function` as written
    kArithmetic, // operands[0] arithmetic operands[1]
    kNegate,     // -operands[0]
    kCompare,    // operands[0] op operands[1]
    kAnd,      // all operands (two or more), flattened: a AND b AND c is one node
    kOr,       // any operand (two or more), flattened likewise
    kNot,      // operands[0]
    kIn,       // operands[0] [NOT] IN (operands[1..])
    kIsNull,   // operands[0] IS [NOT] NULL
    kLike,     // operands[0] [NOT] LIKE operands[1] (the pattern)
    kBetween,  // operands[0] [NOT] BETWEEN operands[1] AND operands[2]
    kSubquery, // (SELECT ...): its one value; as operands[1] of kIn, its rows
    kExists,   // EXISTS (SELECT ...)
  };

  Kind kind = Kind::kLiteral;
  Value literal;
  std::string column;
  std::string table;     // kColumn: the table or alias it is qualified by, or empty
  std::string function;  // kFunction: its name as written
  CompareOp op = CompareOp::kEqual;
  ArithmeticOp arithmetic = ArithmeticOp::kAdd;
  Aggregate aggregate = Aggregate::kCount;
  bool negated = false;  // NOT IN, IS NOT NULL, NOT LIKE, NOT BETWEEN
  std::vector<Expr> operands;
  std::shared_ptr<const SelectStatement> subquery;  // kSubquery, kExists
  // Where the node starts in the statement text (byte offset), for messages.
  std::size_t position = 0;
};

// A column of the result, named `alias` when given; or, when `all_of` is
// set, `all_of.*`: every column of that source (`expr` unused).
struct SelectItem {
  Expr expr;
  std::string alias;
  std::string all_of;
};

// A sort key: an expression, a whole number (the place of a column of the
// result, from 1) or the alias of one.
struct OrderTerm {
  Expr expr;
  bool descending = false;
};

// What a SELECT reads: one table, or two sources joined. A comma between
// sources is a kCross join (every row with every row; WHERE then says which
// belong together).
struct Source {
  enum class Kind { kTable, kInner, kLeft, kRight, kCross };
  Kind kind = Kind::kTable;
  std::string table;                // kTable: the table's name
  std::string alias;                // kTable: its alias, when given
  std::optional<std::string> file;  // kTable: IN 'file', the path as written
  std::vector<Source> sides;        // a join: its left and its right source
  std::optional<Expr> on;           // kInner, kLeft, kRight: the ON condition
  std::size_t position = 0;

  static Source Table(std::string name) { Source s; s.table = std::move(name); return s; }
  // The name its columns are qualified by: the alias, else the table.
  const std::string& name() const { return alias.empty() ? table : alias; }
  // One table of the database itself, not renamed: what a statement copies
  // straight from its rows.
  bool plain_table() const { return kind == Kind::kTable && alias.empty() && !file; }
};

struct SelectStatement {
  bool distinct = false;
  std::optional<std::int64_t> top;  // TOP n, n >= 1
  bool top_percent = false;         // TOP n PERCENT, n <= 100
  std::vector<SelectItem> columns;  // empty for SELECT *
  Source from;
  std::optional<Expr> where;
  std::vector<Expr> group_by;
  std::optional<Expr> having;
  std::vector<OrderTerm> order_by;  // of the whole union, when there is one
  // SELECT ... UNION [ALL] SELECT ...: the SELECTs after this one, in order
  // (none of them with ORDER BY); duplicates are dropped unless every link
  // is UNION ALL.
  std::vector<SelectStatement> unions;
  bool union_all = false;
};

struct Assignment {
  std::string column;
  Expr value;
};

struct UpdateStatement {
  std::string table;
  std::vector<Assignment> assignments;
  std::optional<Expr> where;
};

// INSERT INTO table [IN 'file'] SELECT ...: the SELECT reads the database the
// statement runs on; the rows go to `table` in `target_file` when given (the
// path exactly as written, backslashes and all), else in the same database.
struct InsertSelectStatement {
  std::string table;
  std::optional<std::string> target_file;
  std::vector<std::string> columns;  // empty: by name, every selected column
  SelectStatement source;
};

struct InsertValuesStatement {
  std::string table;
  std::optional<std::string> target_file;
  std::vector<std::string> columns;  // empty: the table's columns in order
  std::vector<Expr> values;          // as many as columns when columns given
};

// Jet DDL column types. Synonyms are folded by the parser (INTEGER is kLong,
// VARCHAR is kText, ...); DdlTypeName gives the canonical spelling.
enum class ColumnType {
  kBit, kByte, kShort, kLong, kCounter, kCurrency, kSingle, kDouble,
  kDateTime, kText, kBinary, kMemo, kLongBinary, kGuid,
};

struct ColumnDef {
  std::string name;
  ColumnType type = ColumnType::kText;
  int size = 0;  // kText / kBinary: length in characters/bytes (255 when not
                 // written); 0 for the other types
  bool not_null = false;
};

// PRIMARY KEY / UNIQUE, written as a CONSTRAINT clause or after a column
// (then `columns` holds that one column, and `name` is empty unless the
// column carried CONSTRAINT name).
struct TableConstraint {
  enum class Kind { kPrimaryKey, kUnique };
  Kind kind = Kind::kPrimaryKey;
  std::string name;
  std::vector<std::string> columns;
};

struct CreateTableStatement {
  std::string table;
  std::vector<ColumnDef> columns;
  std::vector<TableConstraint> constraints;  // in the order written
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct CreateIndexStatement {
  std::string index;
  std::string table;
  bool unique = false;
  std::vector<IndexColumn> columns;
  bool primary = false;        // WITH PRIMARY (implies unique and not null)
  bool disallow_null = false;  // WITH DISALLOW NULL
  bool ignore_null = false;    // WITH IGNORE NULL
};

struct DeleteStatement {
  std::string table;
  std::optional<Expr> where;
};

struct DropTableStatement {
  std::string table;
};

struct DropIndexStatement {
  std::string index;
  std::string table;
};

// ALTER TABLE table ADD COLUMN col TYPE, or DROP COLUMN col (then only
// column.name is set).
struct AlterTableStatement {
  enum class Action { kAddColumn, kDropColumn };
  std::string table;
  Action action = Action::kAddColumn;
  ColumnDef column;
};

using Statement = std::variant<SelectStatement, UpdateStatement, InsertSelectStatement,
                               InsertValuesStatement, CreateTableStatement,
                               CreateIndexStatement, DeleteStatement, DropTableStatement,
                               DropIndexStatement, AlterTableStatement>;

// "TEXT", "LONG", ... : the spelling of a type in the DDL that CREATE TABLE
// accepts (no size).
const char* DdlTypeName(ColumnType type);

}  // namespace act::sql
