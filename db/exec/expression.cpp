#include "db/exec/expression.h"

#include "db/errors.h"
#include "db/exec/functions.h"
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

// A value made ready for comparing: its class, and its number or compare
// key.
struct Key {
  ValueClass value_class = ValueClass::kNull;
  double number = 0;
  bool currency = false;
  int64_t ten_thousandths = 0;
  std::string key;  // text: its compare key; binary: its bytes
};

void SetKey(const Value& v, Key& out) {
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

std::optional<int> Compare(const Key& a, const Key& b) {
  if (a.value_class == ValueClass::kNull || b.value_class == ValueClass::kNull) return std::nullopt;
  if (a.value_class != b.value_class) {
    throw JetFailure(kJetTypeMismatch, std::string(ClassName(a.value_class)) + " compared with " +
                                           ClassName(b.value_class));
  }
  if (a.value_class == ValueClass::kNumber) {
    if (a.currency && b.currency) {
      return (a.ten_thousandths > b.ten_thousandths) - (a.ten_thousandths < b.ten_thousandths);
    }
    return (a.number > b.number) - (a.number < b.number);
  }
  int c = a.key.compare(b.key);
  return (c > 0) - (c < 0);
}

Truth TruthFrom(bool b) { return b ? Truth::kTrue : Truth::kFalse; }
Truth Negated(Truth t) {
  return t == Truth::kNull ? t : t == Truth::kTrue ? Truth::kFalse : Truth::kTrue;
}
Value ValueOf(Truth t) { return t == Truth::kNull ? Value::Null() : Value::Boolean(t == Truth::kTrue); }

}  // namespace

ValueClass ClassOfValue(const Value& value) {
  if (value.is_null()) return ValueClass::kNull;
  if (value.is_text() || value.kind() == Value::Kind::kGuid) return ValueClass::kText;
  if (value.is_number()) return ValueClass::kNumber;
  return ValueClass::kBinary;
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

struct Expression::Node {
  enum class Op : uint8_t {
    kConstant, kPlace, kArithmetic, kNegate, kFunction, kIIf,
    kAnd, kOr, kNot, kCompare, kIn, kIsNull, kLike, kBetween,
  };
  Op op = Op::kConstant;
  sql::CompareOp compare = sql::CompareOp::kEqual;
  sql::ArithmeticOp arithmetic = sql::ArithmeticOp::kAdd;
  bool negated = false;
  size_t place = 0;
  ValueClass value_class = ValueClass::kNull;  // as known before any row
  Value value;                                 // kConstant
  Key key;                                     // kConstant, ready to compare
  FunctionId function = FunctionId::kLen;
  std::vector<Node> children;
  std::optional<LikePattern> pattern;  // LIKE with a constant pattern
};

namespace {

using Node = Expression::Node;
using Op = Node::Op;

class Binder {
 public:
  explicit Binder(const Scope& scope)
      : scope_(scope), clock_(scope.clock ? *scope.clock : SystemClock()) {}

  Node Bind(const sql::Expr& e) {
    Node node;
    if (scope_.ask_every_node || e.kind == sql::Expr::Kind::kColumn ||
        e.kind == sql::Expr::Kind::kAggregate) {
      if (e.kind != sql::Expr::Kind::kLiteral) {
        Place p = scope_.resolve(e);
        if (p.index != Place::kNotHere) {
          node.op = Op::kPlace;
          node.place = p.index;
          node.value_class = p.value_class;
          return node;
        }
      }
    }
    node.negated = e.negated;
    node.compare = e.op;
    node.arithmetic = e.arithmetic;
    switch (e.kind) {
      case sql::Expr::Kind::kLiteral:
        if (e.literal.kind == sql::Value::Kind::kBinary) {
          throw JetFailure(kJetOperationNotSupported,
                           "binary literal in an expression, in " + Quoted());
        }
        return Constant(LiteralValue(e.literal));
      case sql::Expr::Kind::kColumn:
      case sql::Expr::Kind::kAggregate:
        // A resolver that asks about every node answers these.
        throw JetFailure(kJetOperationNotSupported, sql::ToSql(e) + ", in " + Quoted());
      case sql::Expr::Kind::kArithmetic:
        node.op = Op::kArithmetic;
        node.value_class = e.arithmetic == sql::ArithmeticOp::kConcatenate ? ValueClass::kText
                                                                            : ValueClass::kNumber;
        break;
      case sql::Expr::Kind::kNegate:
        node.op = Op::kNegate;
        node.value_class = ValueClass::kNumber;
        break;
      case sql::Expr::Kind::kFunction: {
        const FunctionInfo* f = FindFunction(e.function);
        if (!f) {
          throw JetFailure(kJetUndefinedFunction,
                           "'" + e.function + "' in expression, in " + Quoted());
        }
        const int n = int(e.operands.size());
        if (n < f->least_arguments || n > f->most_arguments) {
          throw Error(kJetSyntaxError,
                      "Wrong number of arguments used with function in query expression",
                      sql::ToSql(e) + ", in " + Quoted());
        }
        node.op = f->id == FunctionId::kIIf ? Op::kIIf : Op::kFunction;
        node.function = f->id;
        node.value_class = f->gives_text ? ValueClass::kText : ValueClass::kNull;
        if (!f->gives_text && f->id != FunctionId::kIIf && f->id != FunctionId::kNz) {
          node.value_class = ValueClass::kNumber;
        }
        break;
      }
      case sql::Expr::Kind::kAnd: node.op = Op::kAnd; break;
      case sql::Expr::Kind::kOr: node.op = Op::kOr; break;
      case sql::Expr::Kind::kNot: node.op = Op::kNot; break;
      case sql::Expr::Kind::kCompare: node.op = Op::kCompare; break;
      case sql::Expr::Kind::kIn: node.op = Op::kIn; break;
      case sql::Expr::Kind::kIsNull: node.op = Op::kIsNull; break;
      case sql::Expr::Kind::kLike: node.op = Op::kLike; break;
      case sql::Expr::Kind::kBetween: node.op = Op::kBetween; break;
    }
    if (node.op >= Op::kAnd) node.value_class = ValueClass::kNumber;
    for (const sql::Expr& child : e.operands) node.children.push_back(Bind(child));
    CheckClasses(e, node);
    if (node.op == Op::kLike && node.children[1].op == Op::kConstant &&
        node.children[1].value.is_text()) {
      node.pattern = CompileLike(node.children[1].value.bytes(), scope_.statement);
    }
    bool constant = true;
    for (const Node& child : node.children) constant = constant && child.op == Op::kConstant;
    if (constant) {
      struct NoRow final : RowValues {
        const Value& at(size_t) override { return none; }
        Value none;
      } no_row;
      return Constant(Evaluate(node, no_row, clock_));
    }
    return node;
  }

  static Value Evaluate(const Node& node, RowValues& row, const Clock& clock);
  static Truth Test(const Node& node, RowValues& row, const Clock& clock);

 private:
  std::string Quoted() const { return QuotedStatement(scope_.statement); }

  static Node Constant(Value v) {
    Node node;
    node.op = Op::kConstant;
    SetKey(v, node.key);
    node.value_class = node.key.value_class;
    node.value = std::move(v);
    return node;
  }

  // Comparisons, IN and BETWEEN take one class throughout, LIKE text: a
  // mix known before any row is refused then (3464).
  void CheckClasses(const sql::Expr& e, const Node& node) const {
    if (node.op < Op::kCompare || node.op == Op::kIsNull) return;
    ValueClass wanted = node.op == Op::kLike ? ValueClass::kText : ValueClass::kNull;
    const sql::Expr* first = nullptr;
    for (size_t i = 0; i < node.children.size(); ++i) {
      ValueClass c = node.children[i].value_class;
      if (c == ValueClass::kNull) continue;
      if (wanted == ValueClass::kNull) {
        wanted = c;
        first = &e.operands[i];
        continue;
      }
      if (c == wanted) continue;
      std::string what = first ? sql::ToSql(*first) + " is " + ClassName(wanted) + " and "
                               : std::string("LIKE takes text, and ");
      throw JetFailure(kJetTypeMismatch, what + sql::ToSql(e.operands[i]) + " is " +
                                             ClassName(c) + ", in " + Quoted());
    }
  }

  const Scope& scope_;
  const Clock& clock_;
};

// The key of a child: a constant's once, a place's straight from the row.
const Key& KeyOf(const Node& node, RowValues& row, Key& scratch, const Clock& clock) {
  if (node.op == Op::kConstant) return node.key;
  if (node.op == Op::kPlace) SetKey(row.at(node.place), scratch);
  else SetKey(Binder::Evaluate(node, row, clock), scratch);
  return scratch;
}

Truth Binder::Test(const Node& node, RowValues& row, const Clock& clock) {
  Key scratch[3];
  auto key = [&](size_t i) -> const Key& {
    return KeyOf(node.children[i], row, scratch[i < 2 ? i : 2], clock);
  };
  switch (node.op) {
    case Op::kAnd: {
      Truth result = Truth::kTrue;
      for (const Node& child : node.children) {
        Truth t = Test(child, row, clock);
        if (t == Truth::kFalse) return t;
        if (t == Truth::kNull) result = t;
      }
      return result;
    }
    case Op::kOr: {
      Truth result = Truth::kFalse;
      for (const Node& child : node.children) {
        Truth t = Test(child, row, clock);
        if (t == Truth::kTrue) return t;
        if (t == Truth::kNull) result = t;
      }
      return result;
    }
    case Op::kNot: return Negated(Test(node.children[0], row, clock));
    case Op::kIsNull: {
      const Node& c = node.children[0];
      const bool null = c.op == Op::kPlace ? row.at(c.place).is_null()
                                           : Evaluate(c, row, clock).is_null();
      return TruthFrom(null != node.negated);
    }
    case Op::kCompare: {
      const Key& a = key(0);
      auto c = Compare(a, key(1));
      if (!c) return Truth::kNull;
      switch (node.compare) {
        case sql::CompareOp::kEqual: return TruthFrom(*c == 0);
        case sql::CompareOp::kNotEqual: return TruthFrom(*c != 0);
        case sql::CompareOp::kLess: return TruthFrom(*c < 0);
        case sql::CompareOp::kLessEqual: return TruthFrom(*c <= 0);
        case sql::CompareOp::kGreater: return TruthFrom(*c > 0);
        case sql::CompareOp::kGreaterEqual: return TruthFrom(*c >= 0);
      }
      return Truth::kNull;
    }
    case Op::kIn: {
      const Key& subject = key(0);
      Truth result = Truth::kFalse;
      for (size_t i = 1; i < node.children.size() && result != Truth::kTrue; ++i) {
        auto c = Compare(subject, KeyOf(node.children[i], row, scratch[2], clock));
        if (!c) result = Truth::kNull;
        else if (*c == 0) result = Truth::kTrue;
      }
      return node.negated ? Negated(result) : result;
    }
    case Op::kBetween: {
      // Jet takes the range either way round: BETWEEN 20 AND 10 is 10 to 20.
      const Key& subject = key(0);
      const Key* low = &key(1);
      const Key* high = &key(2);
      if (auto order = Compare(*low, *high); order && *order > 0) std::swap(low, high);
      auto above = Compare(subject, *low);
      auto below = Compare(subject, *high);
      Truth a = above ? TruthFrom(*above >= 0) : Truth::kNull;
      Truth b = below ? TruthFrom(*below <= 0) : Truth::kNull;
      Truth result = a == Truth::kFalse || b == Truth::kFalse ? Truth::kFalse
                     : a == Truth::kNull || b == Truth::kNull ? Truth::kNull
                                                              : Truth::kTrue;
      return node.negated ? Negated(result) : result;
    }
    case Op::kLike: {
      // LIKE reads the texts themselves, not their compare keys.
      Value held[2];
      auto text = [&](size_t i) -> const Value& {
        const Node& c = node.children[i];
        if (c.op == Op::kConstant) return c.value;
        if (c.op == Op::kPlace) return row.at(c.place);
        held[i] = Evaluate(c, row, clock);
        if (!held[i].is_null() && !held[i].is_text()) held[i] = Value::Text(ToText(held[i]));
        return held[i];
      };
      const Value& subject = text(0);
      const Value& pattern = text(1);
      if (subject.is_null() || pattern.is_null()) return Truth::kNull;
      bool matches = node.pattern ? node.pattern->Matches(subject.bytes())
                                  : CompileLike(pattern.bytes(), "").Matches(subject.bytes());
      return TruthFrom(matches != node.negated);
    }
    default: return TruthOf(Evaluate(node, row, clock));
  }
}

Value Binder::Evaluate(const Node& node, RowValues& row, const Clock& clock) {
  switch (node.op) {
    case Op::kConstant: return node.value;
    case Op::kPlace: return row.at(node.place);
    case Op::kArithmetic:
      return Arithmetic(node.arithmetic, Evaluate(node.children[0], row, clock),
                        Evaluate(node.children[1], row, clock));
    case Op::kNegate: return Negate(Evaluate(node.children[0], row, clock));
    case Op::kIIf: {
      // Only the side taken is evaluated, so IIf(x = 0, 0, 1 / x) is safe.
      const bool yes = Test(node.children[0], row, clock) == Truth::kTrue;
      return Evaluate(node.children[yes ? 1 : 2], row, clock);
    }
    case Op::kFunction: {
      std::vector<Value> args;
      args.reserve(node.children.size());
      for (const Node& child : node.children) args.push_back(Evaluate(child, row, clock));
      return CallFunction(node.function, args, clock);
    }
    default: return ValueOf(Test(node, row, clock));
  }
}

// The statement a failure happened in, added to its report.
[[noreturn]] void Rethrow(const Error& e, const std::string& statement) {
  throw Error(e.number(), e.text(), e.detail() + ", in " + QuotedStatement(statement));
}

}  // namespace

Expression::Expression(const sql::Expr& e, const Scope& scope) : statement_(scope.statement) {
  try {
    root_ = std::make_unique<Node>(Binder(scope).Bind(e));
  } catch (const Error& error) {
    if (error.detail().find(QuotedStatement(statement_)) != std::string::npos) throw;
    Rethrow(error, statement_);
  }
}

Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Value Expression::Evaluate(RowValues& row) const {
  try {
    return Binder::Evaluate(*root_, row, SystemClock());
  } catch (const Error& e) {
    Rethrow(e, statement_);
  }
}

Truth Expression::Test(RowValues& row) const {
  try {
    return Binder::Test(*root_, row, SystemClock());
  } catch (const Error& e) {
    Rethrow(e, statement_);
  }
}

std::optional<size_t> Expression::place() const {
  if (root_->op == Op::kPlace) return root_->place;
  return std::nullopt;
}

ValueClass Expression::value_class() const { return root_->value_class; }

const Value* Expression::constant() const {
  return root_->op == Op::kConstant ? &root_->value : nullptr;
}

}  // namespace act::db::exec
