#include "db/sql/parser.h"

#include <algorithm>
#include <charconv>
#include <array>
#include <cstring>
#include <limits>

#include "db/sql/date_literal.h"
#include "db/sql/lexer.h"
#include "db/sql/sql_errors.h"
#include "db/sql/type_names.h"
#include "db/sql/utf8.h"

namespace act::sql {
namespace {

using Kind = Token::Kind;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Words that end or shape a clause: written plain they are never names
// (bracket them to use them as names), so that "SELECT FROM t" is refused
// instead of selecting a column named FROM.
constexpr std::string_view kReserved[] = {
    "AND",    "AS",      "BETWEEN", "BY",     "CONSTRAINT", "CREATE", "DISTINCT", "FALSE",
    "FROM",   "GROUP",   "HAVING",  "IN",     "INDEX",      "INNER",  "INSERT",   "INTO",
    "IS",     "JOIN",    "LIKE",    "MOD",    "NOT",        "NULL",   "ON",       "OR",
    "ORDER",  "OUTER",   "PRIMARY", "SELECT", "SET",        "TABLE",  "TOP",      "TRUE",
    "UNIQUE", "UPDATE",  "VALUES",  "WHERE",  "WITH",       "EXISTS", "UNION",
};

// Words that may be names elsewhere (Left and Right are functions too) but
// never an alias written without AS: after a table they go on the clause.
constexpr std::string_view kNotAliases[] = {"LEFT", "RIGHT", "UNION"};

// The aggregate functions a column of a SELECT may be.
constexpr struct {
  std::string_view name;
  Aggregate aggregate;
} kAggregates[] = {
    {"COUNT", Aggregate::kCount}, {"SUM", Aggregate::kSum}, {"AVG", Aggregate::kAvg},
    {"MIN", Aggregate::kMin},     {"MAX", Aggregate::kMax},
};

bool IsReserved(std::string_view word) {
  for (std::string_view r : kReserved)
    if (EqualsNoCase(word, r)) return true;
  return false;
}

std::string Describe(const Token& t) {
  switch (t.kind) {
    case Kind::kEnd: return "the end of the statement";
    case Kind::kName: return "'[" + t.text + "]'";
    case Kind::kString: return "a text literal";
    case Kind::kDate: return "'#" + t.text + "#'";
    case Kind::kBinary: return "'0x" + t.text + "'";
    default: return "'" + t.text + "'";
  }
}

class Parser {
 public:
  explicit Parser(std::string_view sql) : sql_(sql), lexer_(sql) {}

  Statement Run() {
    // Names and texts leave the parser as UTF-8; a statement that is not
    // UTF-8 at all is refused before any clause is read.
    if (std::size_t bad = FindInvalidUtf8(sql_); bad != std::string_view::npos)
      throw SqlError(db::kJetSyntaxError, sql_, bad, "text that is not UTF-8");
    clause_ = db::kJetInvalidStatement;
    Statement statement;
    if (AcceptKeyword("SELECT")) {
      statement = SelectAfterKeyword();
    } else if (AcceptKeyword("UPDATE")) {
      statement = Update();
    } else if (AcceptKeyword("INSERT")) {
      statement = Insert();
    } else if (AcceptKeyword("CREATE")) {
      statement = Create();
    } else if (AcceptKeyword("DELETE")) {
      statement = Delete();
    } else if (AcceptKeyword("DROP")) {
      statement = Drop();
    } else if (AcceptKeyword("ALTER")) {
      statement = Alter();
    } else {
      Fail("expected SELECT, UPDATE, INSERT, DELETE, CREATE, DROP or ALTER, found " +
           Describe(Peek()));
    }
    AcceptSymbol(";");
    if (Peek().kind != Kind::kEnd) {
      clause_ = db::kJetCharactersAfterEnd;
      Fail("found " + Describe(Peek()));
    }
    return statement;
  }

 private:
  // ---- tokens ----

  // Tokens are read as the parser reaches them (at most two ahead), so that
  // a lexical fault is reported under the clause it lies in.
  const Token& Peek(std::size_t ahead = 0) {
    while (read_ <= next_ + ahead) {
      const Token& last = tokens_[(read_ + kKept - 1) % kKept];
      if (read_ > 0 && last.kind == Kind::kEnd) return last;
      try {
        tokens_[read_ % kKept] = lexer_.Next();
      } catch (const LexError& e) {
        throw SqlError(clause_, sql_, e.position, e.what);
      }
      ++read_;
    }
    return tokens_[(next_ + ahead) % kKept];
  }
  // The current token, and a step past it. The reference stays valid
  // while the next few tokens are taken: tokens live in a ring of kKept,
  // so that a long statement costs no more than its tree.
  const Token& Take() {
    const Token& t = Peek();
    if (t.kind != Kind::kEnd) ++next_;
    return t;
  }
  static constexpr std::size_t kKept = 16;
  bool IsKeyword(const Token& t, std::string_view keyword) const {
    return t.kind == Kind::kWord && EqualsNoCase(t.text, keyword);
  }
  bool AcceptKeyword(std::string_view keyword) {
    if (!IsKeyword(Peek(), keyword)) return false;
    Take();
    return true;
  }
  void ExpectKeyword(std::string_view keyword) {
    if (!AcceptKeyword(keyword))
      Fail("expected " + std::string(keyword) + ", found " + Describe(Peek()));
  }
  bool IsSymbol(const Token& t, std::string_view symbol) const {
    return t.kind == Kind::kSymbol && t.text == symbol;
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!IsSymbol(Peek(), symbol)) return false;
    Take();
    return true;
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!AcceptSymbol(symbol))
      Fail("expected '" + std::string(symbol) + "', found " + Describe(Peek()));
  }

  // A table, column or index name: plain (not a reserved word) or bracketed.
  bool PeekName() {
    const Token& t = Peek();
    return t.kind == Kind::kName || (t.kind == Kind::kWord && !IsReserved(t.text));
  }
  std::string ExpectName(const char* what) {
    if (!PeekName()) Fail(std::string("expected ") + what + ", found " + Describe(Peek()));
    return Take().text;
  }
  // A name that CREATE is going to store: Jet's rules for object names.
  std::string ExpectNewName(const char* what) {
    const Token& t = Peek();
    std::string name = ExpectName(what);
    if (!IsValidJetName(name)) {
      clause_ = db::kJetInvalidName;
      FailAt(t, "'" + name + "' is not a valid " + what +
                    " (at most 64 characters, no leading blank, no control character or . ! ` [ ])");
    }
    return name;
  }
  static bool IsValidJetName(const std::string& name) {
    if (name.empty() || name[0] == ' ' || CountCharacters(name) > 64) return false;
    for (char c : name)
      if (static_cast<unsigned char>(c) < 0x20 || std::strchr(".!`[]", c)) return false;
    return true;
  }

  [[noreturn]] void Fail(const std::string& what) { FailAt(Peek(), what); }
  [[noreturn]] void FailAt(const Token& at, const std::string& what) {
    throw SqlError(clause_, sql_, at.position, what);
  }
  [[noreturn]] void FailAt(int number, const Token& at, const std::string& what) {
    clause_ = number;
    FailAt(at, what);
  }

  // ---- literals ----

  bool PeekLiteral() {
    const Token& t = Peek();
    switch (t.kind) {
      case Kind::kString: case Kind::kNumber: case Kind::kDate: case Kind::kBinary: return true;
      case Kind::kWord:
        return IsKeyword(t, "NULL") || IsKeyword(t, "TRUE") || IsKeyword(t, "FALSE");
      case Kind::kSymbol:
        return (t.text == "-" || t.text == "+") && Peek(1).kind == Kind::kNumber;
      default: return false;
    }
  }

  Value ExpectLiteral() {
    if (!PeekLiteral()) Fail("expected a value, found " + Describe(Peek()));
    const Token& t = Take();
    switch (t.kind) {
      case Kind::kString: return Value::Text(t.text);
      case Kind::kNumber: return NumberValue(t, false);
      case Kind::kDate: {
        auto date = ParseDateLiteral(t.text);
        if (!date) FailAt(db::kJetSyntaxError, t, "not a valid date " + Describe(t));
        Value v;
        v.kind = Value::Kind::kDate;
        v.date = *date;
        return v;
      }
      case Kind::kBinary: return BinaryValue(t.text);
      case Kind::kSymbol: return NumberValue(Take(), t.text == "-");
      default:
        if (IsKeyword(t, "NULL")) return Value::Null();
        return Value::Boolean(IsKeyword(t, "TRUE"));
    }
  }

  Value NumberValue(const Token& t, bool negative) {
    const std::string& digits = t.text;
    Value v;
    if (digits.find_first_not_of("0123456789") == std::string::npos) {
      std::uint64_t magnitude = 0;
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
      const std::uint64_t limit =
          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
      if (ec == std::errc() && magnitude <= limit) {
        v.kind = Value::Kind::kInteger;
        v.integer = negative ? static_cast<std::int64_t>(0 - magnitude)
                             : static_cast<std::int64_t>(magnitude);
        return v;
      }
    }
    double number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size())
      FailAt(db::kJetSyntaxError, t, "number out of range '" + digits + "'");
    v.kind = Value::Kind::kNumber;
    v.number = negative ? -number : number;
    v.text = (negative ? "-" : "") + digits;
    return v;
  }

  static Value BinaryValue(const std::string& hex) {
    auto nibble = [](char c) {
      return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    };
    Value v;
    v.kind = Value::Kind::kBinary;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      v.text += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    return v;
  }

  // ---- expressions ----
  //
  // Jet's precedence, loosest first: OR, AND, NOT, the predicates
  // (comparisons, IS, LIKE, BETWEEN, IN), &, + and -, Mod, \, * and /,
  // unary minus, ^. Binary operators of one level chain to the left in a
  // loop, so that only parentheses, NOTs, signs and calls cost depth.

  // A condition (WHERE, HAVING): faults in it are Jet's 3075.
  Expr Condition() {
    int saved = clause_;
    clause_ = db::kJetSyntaxError;
    Expr e = OrExpr(0);
    clause_ = saved;
    return e;
  }

  // A value (a column of a SELECT, SET, VALUES, GROUP BY, ORDER BY): faults
  // in it are the clause's.
  Expr Expression() { return OrExpr(0); }

  Expr OrExpr(int depth) { return Chain(depth, "OR", Expr::Kind::kOr); }

  Expr AndTerm(int depth) { return Chain(depth, "AND", Expr::Kind::kAnd); }

  // a OP b OP c as one node with all operands, so that long chains cost no
  // depth.
  Expr Chain(int depth, std::string_view keyword, Expr::Kind kind) {
    std::size_t position = Peek().position;
    Expr first = kind == Expr::Kind::kOr ? AndTerm(depth) : NotTerm(depth);
    if (!IsKeyword(Peek(), keyword)) return first;
    Expr chain;
    chain.kind = kind;
    chain.position = position;
    chain.operands.push_back(std::move(first));
    while (AcceptKeyword(keyword))
      chain.operands.push_back(kind == Expr::Kind::kOr ? AndTerm(depth) : NotTerm(depth));
    return chain;
  }

  void Deeper(int depth) {
    if (depth + 1 > kMaxExpressionDepth)
      FailAt(db::kJetQueryTooComplex, Peek(),
             "expressions nested more than " + std::to_string(kMaxExpressionDepth) + " deep");
  }

  Expr NotTerm(int depth) {
    if (!IsKeyword(Peek(), "NOT")) return Predicate(depth);
    Deeper(depth);
    Expr e;
    e.kind = Expr::Kind::kNot;
    e.position = Take().position;
    e.operands.push_back(NotTerm(depth + 1));
    return e;
  }

  static Expr Node(Expr::Kind kind, std::size_t position) {
    Expr e;
    e.kind = kind;
    e.position = position;
    return e;
  }

  // A value, or a value tested by a comparison, IS, LIKE, BETWEEN or IN.
  Expr Predicate(int depth) {
    Expr left = Concatenation(depth);
    const Token& t = Peek();
    if (t.kind == Kind::kSymbol) {
      static const struct { const char* text; CompareOp op; } kOps[] = {
          {"=", CompareOp::kEqual},     {"<>", CompareOp::kNotEqual},
          {"<", CompareOp::kLess},      {"<=", CompareOp::kLessEqual},
          {">", CompareOp::kGreater},   {">=", CompareOp::kGreaterEqual},
      };
      for (const auto& o : kOps) {
        if (t.text != o.text) continue;
        Take();
        Expr e = Node(Expr::Kind::kCompare, left.position);
        e.op = o.op;
        e.operands.push_back(std::move(left));
        e.operands.push_back(Concatenation(depth));
        return e;
      }
    }
    if (AcceptKeyword("IS")) {
      Expr e = Node(Expr::Kind::kIsNull, left.position);
      e.negated = AcceptKeyword("NOT");
      ExpectKeyword("NULL");
      e.operands.push_back(std::move(left));
      return e;
    }
    bool negated = false;
    if (IsKeyword(t, "NOT") && (IsKeyword(Peek(1), "IN") || IsKeyword(Peek(1), "LIKE") ||
                                IsKeyword(Peek(1), "BETWEEN"))) {
      Take();
      negated = true;
    }
    const bool like = IsKeyword(Peek(), "LIKE");
    if (like || IsKeyword(Peek(), "BETWEEN")) {
      Take();
      Expr e = Node(like ? Expr::Kind::kLike : Expr::Kind::kBetween, left.position);
      e.negated = negated;
      e.operands.push_back(std::move(left));
      e.operands.push_back(Concatenation(depth));
      if (e.kind == Expr::Kind::kBetween) {
        ExpectKeyword("AND");
        e.operands.push_back(Concatenation(depth));
      }
      return e;
    }
    if (AcceptKeyword("IN")) {
      Expr e = Node(Expr::Kind::kIn, left.position);
      e.negated = negated;
      e.operands.push_back(std::move(left));
      ExpectSymbol("(");
      Deeper(depth);
      if (IsKeyword(Peek(), "SELECT")) {
        Expr rows = Node(Expr::Kind::kSubquery, Peek().position);
        rows.subquery = Subquery(depth);
        e.operands.push_back(std::move(rows));
        ExpectSymbol(")");
        return e;
      }
      do {
        e.operands.push_back(OrExpr(depth + 1));
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      return e;
    }
    return left;
  }

  // One level of left-chained binary operators: `operand` parses the
  // tighter level, `op` says which token (if any) is an operator here.
  // A level's chain counts towards the depth, so that the tree's height
  // stays within kMaxExpressionHeight.
  template <typename Tighter, typename OperatorOf>
  Expr Binary(int depth, Tighter operand, OperatorOf op) {
    Expr left = (this->*operand)(depth);
    // Each link of the chain makes the tree one deeper.
    for (int chained = 0; auto which = (this->*op)(Peek()); ++chained) {
      Deeper(depth + chained);
      Take();
      Expr e = Node(Expr::Kind::kArithmetic, left.position);
      e.arithmetic = *which;
      e.operands.push_back(std::move(left));
      e.operands.push_back((this->*operand)(depth + chained + 1));
      left = std::move(e);
    }
    return left;
  }
  std::optional<ArithmeticOp> ConcatOp(const Token& t) {
    if (IsSymbol(t, "&")) return ArithmeticOp::kConcatenate;
    return std::nullopt;
  }
  std::optional<ArithmeticOp> AddOp(const Token& t) {
    if (IsSymbol(t, "+")) return ArithmeticOp::kAdd;
    if (IsSymbol(t, "-")) return ArithmeticOp::kSubtract;
    return std::nullopt;
  }
  std::optional<ArithmeticOp> ModOp(const Token& t) {
    if (IsKeyword(t, "MOD")) return ArithmeticOp::kModulo;
    return std::nullopt;
  }
  std::optional<ArithmeticOp> IntegerDivideOp(const Token& t) {
    if (IsSymbol(t, "\\")) return ArithmeticOp::kIntegerDivide;
    return std::nullopt;
  }
  std::optional<ArithmeticOp> MultiplyOp(const Token& t) {
    if (IsSymbol(t, "*")) return ArithmeticOp::kMultiply;
    if (IsSymbol(t, "/")) return ArithmeticOp::kDivide;
    return std::nullopt;
  }
  std::optional<ArithmeticOp> PowerOp(const Token& t) {
    if (IsSymbol(t, "^")) return ArithmeticOp::kPower;
    return std::nullopt;
  }
  Expr Concatenation(int depth) { return Binary(depth, &Parser::Sum, &Parser::ConcatOp); }
  Expr Sum(int depth) { return Binary(depth, &Parser::Modulo, &Parser::AddOp); }
  Expr Modulo(int depth) { return Binary(depth, &Parser::IntegerQuotient, &Parser::ModOp); }
  Expr IntegerQuotient(int depth) { return Binary(depth, &Parser::Product, &Parser::IntegerDivideOp); }
  Expr Product(int depth) { return Binary(depth, &Parser::Signed, &Parser::MultiplyOp); }
  Expr Power(int depth) { return Binary(depth, &Parser::PowerOperand, &Parser::PowerOp); }

  // -x and +x. A sign before a number is the number's (-5 is a literal),
  // unless a power follows: -2 ^ 2 is -(2 ^ 2), as in Visual Basic.
  Expr Signed(int depth) {
    if (!IsSymbol(Peek(), "-") && !IsSymbol(Peek(), "+")) return Power(depth);
    if (Peek(1).kind == Kind::kNumber && !IsSymbol(Peek(2), "^")) return LiteralExpr();
    Deeper(depth);
    const Token& sign = Take();
    Expr e = Node(Expr::Kind::kNegate, sign.position);
    const bool minus = sign.text == "-";
    Expr inner = Signed(depth + 1);
    if (!minus) return inner;
    e.operands.push_back(std::move(inner));
    return e;
  }

  // The exponent may carry a sign of its own: 2 ^ -1.
  Expr PowerOperand(int depth) {
    if (!IsSymbol(Peek(), "-") && !IsSymbol(Peek(), "+")) return Primary(depth);
    if (Peek(1).kind == Kind::kNumber) return LiteralExpr();
    Deeper(depth);
    const Token& sign = Take();
    Expr e = Node(Expr::Kind::kNegate, sign.position);
    const bool minus = sign.text == "-";
    Expr inner = PowerOperand(depth + 1);
    if (!minus) return inner;
    e.operands.push_back(std::move(inner));
    return e;
  }

  Expr LiteralExpr() {
    Expr e = Node(Expr::Kind::kLiteral, Peek().position);
    e.literal = ExpectLiteral();
    return e;
  }

  // SELECT ... inside parentheses (the '(' already read): its clauses
  // refuse as a SELECT's, and it nests no deeper than the expressions do.
  std::shared_ptr<const SelectStatement> Subquery(int depth) {
    Deeper(depth + subqueries_ * 8);
    const int saved = clause_;
    ++subqueries_;
    ExpectKeyword("SELECT");
    auto select = std::make_shared<const SelectStatement>(SelectAfterKeyword());
    --subqueries_;
    clause_ = saved;
    return select;
  }

  // A literal, a column, a call, an expression in parentheses, or a
  // subquery.
  Expr Primary(int depth) {
    if (IsSymbol(Peek(), "(") && IsKeyword(Peek(1), "SELECT")) {
      Expr e = Node(Expr::Kind::kSubquery, Take().position);
      e.subquery = Subquery(depth);
      ExpectSymbol(")");
      return e;
    }
    if (IsSymbol(Peek(), "(")) {
      Deeper(depth);
      Take();
      Expr inner = OrExpr(depth + 1);
      ExpectSymbol(")");
      return inner;
    }
    if (PeekLiteral()) return LiteralExpr();
    if (IsKeyword(Peek(), "EXISTS") && IsSymbol(Peek(1), "(")) {
      Expr e = Node(Expr::Kind::kExists, Take().position);
      Take();  // (
      e.subquery = Subquery(depth);
      ExpectSymbol(")");
      return e;
    }
    if (Peek().kind == Kind::kWord && IsSymbol(Peek(1), "(") && IsCallable(Peek().text))
      return Call(depth);
    return ColumnReference("a column name or a value");
  }

  // `column` or `table.column`.
  Expr ColumnReference(const char* what) {
    Expr e = Node(Expr::Kind::kColumn, Peek().position);
    e.column = ExpectName(what);
    if (AcceptSymbol(".")) {
      e.table = std::move(e.column);
      e.column = ExpectName("a column name after '.'");
    }
    return e;
  }

  // A word before '(' calls a function, unless it is a word of the
  // grammar; LEFT and RIGHT are functions too.
  static bool IsCallable(std::string_view word) {
    return !IsReserved(word) || EqualsNoCase(word, "LEFT") || EqualsNoCase(word, "RIGHT");
  }

  // An aggregate (COUNT(*), SUM(expr), ...) or a function call. Which
  // functions exist, and how many arguments each takes, the executor
  // decides.
  Expr Call(int depth) {
    Deeper(depth);
    const Token& name = Take();
    Expr e = Node(Expr::Kind::kFunction, name.position);
    e.function = name.text;
    Take();  // (
    for (const auto& a : kAggregates) {
      if (!EqualsNoCase(e.function, a.name)) continue;
      e.kind = Expr::Kind::kAggregate;
      e.aggregate = a.aggregate;
      e.function.clear();
      if (a.aggregate != Aggregate::kCount || !AcceptSymbol("*"))
        e.operands.push_back(OrExpr(depth + 1));
      ExpectSymbol(")");
      return e;
    }
    if (!AcceptSymbol(")")) {
      do {
        e.operands.push_back(OrExpr(depth + 1));
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    return e;
  }

  // ---- SELECT ----

  SelectStatement SelectAfterKeyword() {
    clause_ = db::kJetSyntaxInSelect;
    SelectStatement s;
    s.distinct = AcceptKeyword("DISTINCT");
    if (AcceptKeyword("TOP")) {
      const Token count = Peek();  // a copy: PERCENT is read past it
      s.top = RowCount();
      s.top_percent = AcceptKeyword("PERCENT");
      if (s.top_percent && *s.top > 100)
        FailAt(count, "expected a percentage from 1 to 100 after TOP, found " + Describe(count));
    }
    if (!AcceptSymbol("*")) {
      do {
        SelectItem item;
        if (PeekName() && IsSymbol(Peek(1), ".") && IsSymbol(Peek(2), "*")) {
          item.all_of = Take().text;
          Take();
          Take();
        } else {
          item.expr = Expression();
          if (AcceptKeyword("AS")) item.alias = ExpectName("a name after AS");
        }
        s.columns.push_back(std::move(item));
      } while (AcceptSymbol(","));
    }
    ExpectKeyword("FROM");
    clause_ = db::kJetSyntaxInFromClause;
    s.from = Sources();
    if (AcceptKeyword("WHERE")) {
      s.where = Condition();
      ExpectClauseEnd({"GROUP", "HAVING", "UNION", "ORDER"});
    }
    if (AcceptKeyword("GROUP")) {
      clause_ = db::kJetSyntaxInGroupBy;
      ExpectKeyword("BY");
      do {
        s.group_by.push_back(Expression());
      } while (AcceptSymbol(","));
    }
    if (AcceptKeyword("HAVING")) {
      s.having = Condition();
      ExpectClauseEnd({"UNION", "ORDER"});
    }
    if (AcceptKeyword("UNION")) {
      // The SELECTs after UNION join this one's list; the last one's ORDER
      // BY sorts them all.
      const bool all = AcceptKeyword("ALL");
      s.union_all = s.unions.empty() ? all : s.union_all && all;
      ExpectKeyword("SELECT");
      SelectStatement next = SelectAfterKeyword();
      s.union_all = s.union_all && (next.unions.empty() || next.union_all);
      s.order_by = std::move(next.order_by);
      std::vector<SelectStatement> rest = std::move(next.unions);
      next.unions.clear();
      s.unions.push_back(std::move(next));
      for (SelectStatement& r : rest) s.unions.push_back(std::move(r));
      return s;
    }
    if (AcceptKeyword("ORDER")) {
      clause_ = db::kJetSyntaxInOrderBy;
      ExpectKeyword("BY");
      do {
        OrderTerm term;
        term.expr = Expression();
        if (!AcceptKeyword("ASC")) term.descending = AcceptKeyword("DESC");
        s.order_by.push_back(std::move(term));
      } while (AcceptSymbol(","));
    }
    return s;
  }

  // ---- FROM ----

  // source, source, ...: each comma a cross join of what is before it with
  // the next.
  Source Sources() {
    Source from = JoinedSource(0);
    while (AcceptSymbol(",")) {
      Source cross;
      cross.kind = Source::Kind::kCross;
      cross.position = from.position;
      cross.sides.push_back(std::move(from));
      cross.sides.push_back(JoinedSource(0));
      from = std::move(cross);
    }
    return from;
  }

  // a [INNER|LEFT|RIGHT] JOIN b ON cond ...: joins read left to right.
  Source JoinedSource(int depth) {
    Source from = JoinOperand(depth);
    for (;;) {
      Source::Kind kind;
      if (AcceptKeyword("INNER")) {
        kind = Source::Kind::kInner;
      } else if (AcceptKeyword("LEFT")) {
        kind = Source::Kind::kLeft;
        AcceptKeyword("OUTER");
      } else if (AcceptKeyword("RIGHT")) {
        kind = Source::Kind::kRight;
        AcceptKeyword("OUTER");
      } else {
        return from;
      }
      clause_ = db::kJetSyntaxInJoin;
      ExpectKeyword("JOIN");
      Source join;
      join.kind = kind;
      join.position = from.position;
      join.sides.push_back(std::move(from));
      join.sides.push_back(JoinOperand(depth));
      clause_ = db::kJetSyntaxInJoin;
      ExpectKeyword("ON");
      join.on = Condition();
      clause_ = db::kJetSyntaxInFromClause;
      from = std::move(join);
    }
  }

  // A table, or joined sources in parentheses.
  Source JoinOperand(int depth) {
    if (IsSymbol(Peek(), "(")) {
      if (depth + 1 > kMaxExpressionDepth)
        FailAt(db::kJetQueryTooComplex, Peek(),
               "joins nested more than " + std::to_string(kMaxExpressionDepth) + " deep");
      Take();
      Source inner = JoinedSource(depth + 1);
      ExpectSymbol(")");
      return inner;
    }
    Source table;
    table.position = Peek().position;
    table.table = ExpectName("a table name");
    if (AcceptKeyword("IN")) {
      if (Peek().kind != Kind::kString)
        Fail("expected the database file in quotes, found " + Describe(Peek()));
      table.file = Take().text;
    }
    if (AcceptKeyword("AS")) {
      table.alias = ExpectName("a name after AS");
    } else if (PeekName() && Peek().kind == Kind::kWord &&
               std::none_of(std::begin(kNotAliases), std::end(kNotAliases),
                            [&](std::string_view w) { return EqualsNoCase(Peek().text, w); })) {
      table.alias = Take().text;
    } else if (Peek().kind == Kind::kName) {
      table.alias = Take().text;
    }
    return table;
  }

  // The n of TOP n: a whole number from 1 to 2147483647.
  std::int64_t RowCount() {
    const Token& t = Peek();
    if (t.kind == Kind::kNumber && t.text.size() <= 10 &&
        t.text.find_first_not_of("0123456789") == std::string::npos) {
      std::int64_t n = std::stoll(t.text);
      if (n >= 1 && n <= std::numeric_limits<std::int32_t>::max()) {
        Take();
        return n;
      }
    }
    Fail("expected a number of rows from 1 to 2147483647 after TOP, found " + Describe(t));
  }

  // After a condition only one of `next_clauses` or the end may follow;
  // anything else is a missing operator in the condition.
  void ExpectClauseEnd(std::initializer_list<std::string_view> next_clauses) {
    const Token& t = Peek();
    if (t.kind == Kind::kEnd || IsSymbol(t, ";")) return;
    if (subqueries_ > 0 && IsSymbol(t, ")")) return;  // the end of a subquery
    std::string expected = "AND, OR";
    for (std::string_view clause : next_clauses) {
      if (IsKeyword(t, clause)) return;
      const bool by = clause == "GROUP" || clause == "ORDER";
      expected += ", " + std::string(clause) + (by ? " BY" : "");
    }
    FailAt(db::kJetSyntaxError, t,
           "missing operator: expected " + expected + " or the end, found " + Describe(t));
  }

  // ---- UPDATE ----

  UpdateStatement Update() {
    clause_ = db::kJetSyntaxInUpdate;
    UpdateStatement u;
    u.table = ExpectName("a table name");
    ExpectKeyword("SET");
    do {
      Assignment a;
      a.column = ExpectName("a column name");
      ExpectSymbol("=");
      a.value = Expression();
      u.assignments.push_back(std::move(a));
    } while (AcceptSymbol(","));
    if (AcceptKeyword("WHERE")) {
      u.where = Condition();
      ExpectClauseEnd({});
    }
    return u;
  }

  // ---- INSERT ----

  Statement Insert() {
    clause_ = db::kJetSyntaxInInsert;
    ExpectKeyword("INTO");
    std::string table = ExpectName("a table name");
    std::optional<std::string> target_file;
    std::vector<std::string> columns;
    // Jet takes the IN clause before or after the column list.
    for (int i = 0; i < 2; ++i) {
      if (!target_file && AcceptKeyword("IN")) {
        if (Peek().kind != Kind::kString) Fail("expected the database file in quotes, found " +
                                               Describe(Peek()));
        target_file = Take().text;
      } else if (columns.empty() && AcceptSymbol("(")) {
        do {
          columns.push_back(ExpectName("a column name"));
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
      }
    }
    if (AcceptKeyword("SELECT")) {
      InsertSelectStatement s;
      s.table = std::move(table);
      s.target_file = std::move(target_file);
      s.columns = std::move(columns);
      s.source = SelectAfterKeyword();
      return s;
    }
    if (!AcceptKeyword("VALUES")) Fail("expected SELECT or VALUES, found " + Describe(Peek()));
    InsertValuesStatement s;
    s.table = std::move(table);
    s.target_file = std::move(target_file);
    s.columns = std::move(columns);
    const Token open = Peek();  // a copy: the value list may be long
    ExpectSymbol("(");
    do {
      s.values.push_back(Expression());
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (!s.columns.empty() && s.columns.size() != s.values.size())
      FailAt(db::kJetValueCountMismatch, open,
             std::to_string(s.values.size()) + " values for " + std::to_string(s.columns.size()) +
                 " columns");
    return s;
  }

  // ---- CREATE ----

  Statement Create() {
    if (AcceptKeyword("TABLE")) return CreateTable();
    bool unique = AcceptKeyword("UNIQUE");
    if (AcceptKeyword("INDEX")) return CreateIndex(unique);
    Fail(std::string("expected ") + (unique ? "INDEX" : "TABLE, INDEX or UNIQUE INDEX") +
         " after CREATE, found " + Describe(Peek()));
  }

  CreateTableStatement CreateTable() {
    clause_ = db::kJetSyntaxInCreateTable;
    CreateTableStatement c;
    c.table = ExpectNewName("table name");
    ExpectSymbol("(");
    do {
      clause_ = db::kJetSyntaxInCreateTable;
      if (IsKeyword(Peek(), "CONSTRAINT") || IsKeyword(Peek(), "PRIMARY") ||
          IsKeyword(Peek(), "UNIQUE")) {
        c.constraints.push_back(TableConstraintClause());
      } else {
        ColumnDefinition(c);
      }
    } while (AcceptSymbol(","));
    clause_ = db::kJetSyntaxInCreateTable;
    ExpectSymbol(")");
    return c;
  }

  void ColumnDefinition(CreateTableStatement& c) {
    ColumnDef col;
    const Token& name_token = Peek();
    col.name = ExpectNewName("column name");
    for (const ColumnDef& other : c.columns)
      if (EqualsNoCase(other.name, col.name))  // Jet's names ignore case
        FailAt(db::kJetSyntaxInFieldDefinition, name_token,
               "column '" + col.name + "' defined more than once");
    clause_ = db::kJetSyntaxInFieldDefinition;
    const Token& type_token = Peek();
    if (type_token.kind != Kind::kWord) Fail("expected a data type, found " + Describe(type_token));
    auto type = LookupColumnType(type_token.text);
    if (!type) {
      FailAt(db::kJetInvalidFieldType, type_token, "unknown data type " + Describe(type_token));
    }
    Take();
    col.type = *type;
    bool sized = col.type == ColumnType::kText || col.type == ColumnType::kBinary;
    if (sized) col.size = 255;
    if (AcceptSymbol("(")) {
      const Token& n = Peek();
      if (!sized) FailAt(n, std::string("no size allowed for ") + DdlTypeName(col.type));
      if (n.kind != Kind::kNumber || n.text.size() > 3 ||
          n.text.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(n.text) < 1 || std::stoi(n.text) > 255)
        Fail("expected a size from 1 to 255, found " + Describe(n));
      col.size = std::stoi(Take().text);
      ExpectSymbol(")");
    }
    for (;;) {
      if (AcceptKeyword("NOT")) {
        ExpectKeyword("NULL");
        col.not_null = true;
      } else if (AcceptKeyword("NULL")) {
        // Nullable is the default; Jet accepts it written out.
      } else if (IsKeyword(Peek(), "CONSTRAINT") || IsKeyword(Peek(), "PRIMARY") ||
                 IsKeyword(Peek(), "UNIQUE")) {
        c.constraints.push_back(ColumnConstraintClause(col.name));
      } else {
        break;
      }
    }
    c.columns.push_back(std::move(col));
  }

  // [CONSTRAINT name] PRIMARY KEY | UNIQUE after a column definition.
  TableConstraint ColumnConstraintClause(const std::string& column) {
    clause_ = db::kJetSyntaxInConstraint;
    TableConstraint t;
    if (AcceptKeyword("CONSTRAINT")) t.name = ExpectNewName("constraint name");
    t.kind = ConstraintKind();
    t.columns.push_back(column);
    clause_ = db::kJetSyntaxInFieldDefinition;
    return t;
  }

  // [CONSTRAINT name] PRIMARY KEY | UNIQUE (col, ...) among the columns.
  TableConstraint TableConstraintClause() {
    clause_ = db::kJetSyntaxInConstraint;
    TableConstraint t;
    if (AcceptKeyword("CONSTRAINT")) t.name = ExpectNewName("constraint name");
    t.kind = ConstraintKind();
    ExpectSymbol("(");
    do {
      t.columns.push_back(ExpectName("a column name"));
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    return t;
  }

  TableConstraint::Kind ConstraintKind() {
    if (AcceptKeyword("UNIQUE")) return TableConstraint::Kind::kUnique;
    if (!AcceptKeyword("PRIMARY"))
      Fail("expected PRIMARY KEY or UNIQUE, found " + Describe(Peek()));
    ExpectKeyword("KEY");
    return TableConstraint::Kind::kPrimaryKey;
  }

  CreateIndexStatement CreateIndex(bool unique) {
    clause_ = db::kJetSyntaxInCreateIndex;
    CreateIndexStatement c;
    c.unique = unique;
    c.index = ExpectNewName("index name");
    ExpectKeyword("ON");
    c.table = ExpectName("a table name");
    ExpectSymbol("(");
    do {
      IndexColumn col;
      col.name = ExpectName("a column name");
      if (!AcceptKeyword("ASC")) col.descending = AcceptKeyword("DESC");
      c.columns.push_back(std::move(col));
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (AcceptKeyword("WITH")) {
      if (AcceptKeyword("PRIMARY")) {
        c.primary = true;
      } else if (AcceptKeyword("DISALLOW")) {
        ExpectKeyword("NULL");
        c.disallow_null = true;
      } else if (AcceptKeyword("IGNORE")) {
        ExpectKeyword("NULL");
        c.ignore_null = true;
      } else {
        Fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL after WITH, found " +
             Describe(Peek()));
      }
    }
    return c;
  }

  // ---- DELETE, DROP, ALTER ----

  // DELETE [table.* | *] FROM table [WHERE ...]: what comes before FROM
  // names the table the rows go from, which with one table is FROM's.
  DeleteStatement Delete() {
    clause_ = db::kJetSyntaxInDelete;
    DeleteStatement d;
    if (!AcceptSymbol("*") && PeekName()) {
      const Token& named = Peek();
      std::string table = Take().text;
      ExpectSymbol(".");
      ExpectSymbol("*");
      ExpectKeyword("FROM");
      d.table = ExpectName("a table name");
      if (!EqualsNoCase(table, d.table))
        FailAt(named, "'" + table + "' is not the table after FROM");
    } else {
      ExpectKeyword("FROM");
      d.table = ExpectName("a table name");
    }
    if (AcceptKeyword("WHERE")) {
      d.where = Condition();
      ExpectClauseEnd({});
    }
    return d;
  }

  Statement Drop() {
    clause_ = db::kJetSyntaxInDrop;
    if (AcceptKeyword("TABLE")) return DropTableStatement{ExpectName("a table name")};
    ExpectKeyword("INDEX");
    DropIndexStatement d;
    d.index = ExpectName("an index name");
    ExpectKeyword("ON");
    d.table = ExpectName("a table name");
    return d;
  }

  AlterTableStatement Alter() {
    clause_ = db::kJetSyntaxInAlterTable;
    ExpectKeyword("TABLE");
    AlterTableStatement a;
    a.table = ExpectName("a table name");
    if (AcceptKeyword("DROP")) {
      a.action = AlterTableStatement::Action::kDropColumn;
      AcceptKeyword("COLUMN");
      a.column.name = ExpectName("a column name");
      return a;
    }
    if (!AcceptKeyword("ADD")) Fail("expected ADD or DROP, found " + Describe(Peek()));
    AcceptKeyword("COLUMN");
    CreateTableStatement one;
    const Token& at = Peek();
    ColumnDefinition(one);
    if (!one.constraints.empty())
      FailAt(db::kJetSyntaxInAlterTable, at,
             "a constraint with ADD COLUMN (CREATE INDEX makes the index)");
    a.column = std::move(one.columns.front());
    return a;
  }

  std::string_view sql_;
  Lexer lexer_;
  std::array<Token, kKept> tokens_;  // the last tokens read, by number modulo kKept
  std::size_t read_ = 0;             // tokens read so far
  std::size_t next_ = 0;             // number of the current token
  int clause_ = db::kJetInvalidStatement;  // the error number for a fault here
  int subqueries_ = 0;                     // how deep in subqueries the parser is
};

}  // namespace

Statement Parse(std::string_view sql) { return Parser(sql).Run(); }

}  // namespace act::sql
