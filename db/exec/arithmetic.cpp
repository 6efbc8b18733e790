#include "db/exec/arithmetic.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "db/errors.h"
#include "db/sql/date_literal.h"

namespace act::db::exec {

namespace {

using Kind = Value::Kind;

[[noreturn]] void Mismatch(const Value& v) {
  throw JetFailure(kJetTypeMismatch, "'" + v.ToText() + "' is no number");
}
[[noreturn]] void Overflow() { throw Error(kErrOverflow, "a result beyond its type's range"); }
[[noreturn]] void DivisionByZero() { throw Error(11, "Division by zero", "a division by zero"); }

bool IsWhole(const Value& v) { return v.is_integral(); }

std::string Digits(double v, int precision) {
  if (v == 0) return "0";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*G", precision, v);
  std::string s = buffer;
  // Visual Basic writes 1E+20 and 1E-05 as "1E+20" and "1E-05": trailing
  // zeros of the mantissa go, the exponent keeps two digits.
  std::string mantissa = s, exponent;
  if (auto e = s.find('E'); e != std::string::npos) {
    mantissa = s.substr(0, e);
    exponent = s.substr(e);
  }
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + exponent;
}

Value CurrencyOrOverflow(long double scaled) {
  scaled = std::nearbyint(scaled);
  if (!(scaled >= -9223372036854775807.0L && scaled <= 9223372036854775807.0L)) Overflow();
  return Value::Currency(int64_t(scaled));
}

}  // namespace

double RoundHalfEven(double v) { return std::nearbyint(v); }

Value WholeResult(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return Value::Long(int32_t(v));
  return Value::Double(double(v));
}

std::string ToText(const Value& v) {
  switch (v.kind()) {
    case Kind::kNull: return "";
    case Kind::kBoolean: return v.integer() ? "True" : "False";
    case Kind::kSingle: return Digits(v.real(), 7);
    case Kind::kDouble: return Digits(v.real(), 15);
    case Kind::kDateTime: {
      auto d = sql::FromJetDate(v.real());
      if (!d) return Digits(v.real(), 15);
      char buffer[40];
      const double whole = std::trunc(v.real());
      if (v.real() == whole) {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", d->day, d->month, d->year);
      } else if (whole == 0) {
        std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", d->hour, d->minute, d->second);
      } else {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %d:%02d:%02d", d->day, d->month,
                      d->year, d->hour, d->minute, d->second);
      }
      return buffer;
    }
    default: return v.ToText();
  }
}

Value ToNumber(const Value& v) {
  if (v.is_number() || v.is_null()) return v;
  if (!v.is_text()) Mismatch(v);
  std::string_view t = v.bytes();
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double d = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) Mismatch(v);
  if (d == std::trunc(d) && std::fabs(d) < 2147483648.0) return Value::Long(int32_t(d));
  return Value::Double(d);
}

double ToDouble(const Value& v) {
  Value n = ToNumber(v);
  return n.kind() == Kind::kBoolean ? (n.integer() ? -1.0 : 0.0) : n.AsDouble();
}

std::optional<double> ParseDateText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int n[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  char separator = 0;
  size_t i = 0;
  sql::DateTime d;
  auto number = [&](int& out) {
    size_t start = i;
    out = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 5)
      out = out * 10 + (text[i++] - '0');
    return i > start;
  };
  bool has_date = false;
  if (text.find_first_of("-/") != std::string_view::npos) {
    for (; count < 3; ++count) {
      if (!number(n[count])) return std::nullopt;
      if (count < 2) {
        if (i >= text.size() || (text[i] != '-' && text[i] != '/')) return std::nullopt;
        if (separator && text[i] != separator) return std::nullopt;
        separator = text[i++];
      }
    }
    if (separator == '-') {
      d.year = n[0], d.month = n[1], d.day = n[2];
    } else {
      d.day = n[0], d.month = n[1], d.year = n[2];
    }
    if (d.year < 100) d.year += d.year < 30 ? 2000 : 1900;
    has_date = true;
    while (i < text.size() && text[i] == ' ') ++i;
  }
  if (i < text.size()) {
    int parts[3] = {0, 0, 0};
    int k = 0;
    for (; k < 3; ++k) {
      if (!number(parts[k])) return std::nullopt;
      if (i < text.size() && text[i] == ':') ++i;
      else break;
    }
    if (k == 0 || i != text.size()) return std::nullopt;
    d.hour = parts[0], d.minute = parts[1], d.second = parts[2];
    if (d.hour > 23 || d.minute > 59 || d.second > 59) return std::nullopt;
  } else if (!has_date) {
    return std::nullopt;
  }
  if (has_date && (d.month < 1 || d.month > 12 || d.day < 1 || d.year > 9999 ||
                   d.day > sql::DaysInMonth(d.year, d.month)))
    return std::nullopt;
  return sql::ToJetDate(d);
}

double ToDate(const Value& v) {
  if (v.is_text()) {
    if (auto d = ParseDateText(v.bytes())) return *d;
    Mismatch(v);
  }
  return ToDouble(v);
}

int64_t ToWhole(const Value& v) {
  Value n = ToNumber(v);
  if (n.kind() == Kind::kBoolean) return n.integer() ? -1 : 0;
  if (n.is_integral()) return n.integer();
  if (n.kind() == Kind::kCurrency) {
    int64_t q = n.integer() / 10000, r = n.integer() % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) ++q;
    if (r < -5000 || (r == -5000 && (q & 1))) --q;
    return q;
  }
  double d = RoundHalfEven(n.AsDouble());
  if (!(std::fabs(d) < 9.2e18)) Overflow();
  return int64_t(d);
}

Truth TruthOf(const Value& v) {
  if (v.is_null()) return Truth::kNull;
  return ToDouble(v) != 0 ? Truth::kTrue : Truth::kFalse;
}

Value Negate(const Value& v) {
  if (v.is_null()) return v;
  Value n = ToNumber(v);
  switch (n.kind()) {
    case Kind::kBoolean: return Value::Long(n.integer() ? 1 : 0);
    case Kind::kByte: case Kind::kInteger: case Kind::kLong: return WholeResult(-n.integer());
    case Kind::kCurrency:
      if (n.integer() == std::numeric_limits<int64_t>::min()) Overflow();
      return Value::Currency(-n.integer());
    case Kind::kDateTime: return Value::DateTime(-n.real());
    default: return Value::Double(-n.AsDouble());
  }
}

Value Arithmetic(sql::ArithmeticOp op, const Value& a, const Value& b) {
  using Op = sql::ArithmeticOp;
  if (op == Op::kConcatenate) {
    if (a.is_null() && b.is_null()) return Value::Null();
    return Value::Text(ToText(a) + ToText(b));
  }
  if (a.is_null() || b.is_null()) return Value::Null();
  if (op == Op::kAdd && a.is_text() && b.is_text()) return Value::Text(a.bytes() + b.bytes());
  const Value x = ToNumber(a), y = ToNumber(b);
  auto whole = [](const Value& v) { return v.kind() == Kind::kBoolean ? -v.integer() : v.integer(); };
  const bool wholes = IsWhole(x) && IsWhole(y);
  const bool currency = (x.kind() == Kind::kCurrency || IsWhole(x)) &&
                        (y.kind() == Kind::kCurrency || IsWhole(y)) && !wholes;
  auto scaled = [&](const Value& v) -> long double {
    return v.kind() == Kind::kCurrency ? (long double)v.integer() : (long double)whole(v) * 10000;
  };
  switch (op) {
    case Op::kAdd:
    case Op::kSubtract: {
      const bool minus = op == Op::kSubtract;
      if (wholes) return WholeResult(minus ? whole(x) - whole(y) : whole(x) + whole(y));
      if (currency) return CurrencyOrOverflow(minus ? scaled(x) - scaled(y) : scaled(x) + scaled(y));
      const double r = minus ? ToDouble(x) - ToDouble(y) : ToDouble(x) + ToDouble(y);
      const bool dated = x.kind() == Kind::kDateTime || y.kind() == Kind::kDateTime;
      const bool both_dates = x.kind() == Kind::kDateTime && y.kind() == Kind::kDateTime;
      if (dated && !(minus && both_dates)) return Value::DateTime(r);
      return Value::Double(r);
    }
    case Op::kMultiply:
      if (wholes) {
        long double r = (long double)whole(x) * whole(y);
        if (std::fabs(r) < 9.2e18L) return WholeResult(int64_t(r));
        return Value::Double(double(r));
      }
      if (currency) return CurrencyOrOverflow(scaled(x) * scaled(y) / 10000);
      return Value::Double(ToDouble(x) * ToDouble(y));
    case Op::kDivide: {
      const double d = ToDouble(y);
      if (d == 0) DivisionByZero();
      return Value::Double(ToDouble(x) / d);
    }
    case Op::kIntegerDivide:
    case Op::kModulo: {
      const int64_t n = ToWhole(x), d = ToWhole(y);
      if (d == 0) DivisionByZero();
      if (n == std::numeric_limits<int64_t>::min() && d == -1) Overflow();
      return WholeResult(op == Op::kModulo ? n % d : n / d);
    }
    case Op::kPower: {
      const double r = std::pow(ToDouble(x), ToDouble(y));
      if (std::isnan(r)) throw Error(kErrInvalidProcedureCall, "a power with no real result");
      if (std::isinf(r)) Overflow();
      return Value::Double(r);
    }
    case Op::kConcatenate: break;
  }
  return Value::Null();
}

}  // namespace act::db::exec
