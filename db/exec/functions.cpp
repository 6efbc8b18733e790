#include "db/exec/functions.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "db/errors.h"
#include "db/exec/arithmetic.h"
#include "db/exec/format_function.h"
#include "db/jet/table/text.h"

namespace act::db::exec {

namespace {

constexpr FunctionInfo kFunctions[] = {
    {"Len", FunctionId::kLen, 1, 1, false},
    {"Left", FunctionId::kLeft, 2, 2, true},
    {"Right", FunctionId::kRight, 2, 2, true},
    {"Mid", FunctionId::kMid, 2, 3, true},
    {"InStr", FunctionId::kInStr, 2, 4, false},
    {"UCase", FunctionId::kUCase, 1, 1, true},
    {"LCase", FunctionId::kLCase, 1, 1, true},
    {"Trim", FunctionId::kTrim, 1, 1, true},
    {"LTrim", FunctionId::kLTrim, 1, 1, true},
    {"RTrim", FunctionId::kRTrim, 1, 1, true},
    {"Replace", FunctionId::kReplace, 3, 5, true},
    {"Space", FunctionId::kSpace, 1, 1, true},
    {"String", FunctionId::kString, 2, 2, true},
    {"Year", FunctionId::kYear, 1, 1, false},
    {"Month", FunctionId::kMonth, 1, 1, false},
    {"Day", FunctionId::kDay, 1, 1, false},
    {"Hour", FunctionId::kHour, 1, 1, false},
    {"Minute", FunctionId::kMinute, 1, 1, false},
    {"Second", FunctionId::kSecond, 1, 1, false},
    {"Weekday", FunctionId::kWeekday, 1, 2, false},
    {"DateAdd", FunctionId::kDateAdd, 3, 3, false},
    {"DateDiff", FunctionId::kDateDiff, 3, 4, false},
    {"DateSerial", FunctionId::kDateSerial, 3, 3, false},
    {"DateValue", FunctionId::kDateValue, 1, 1, false},
    {"Date", FunctionId::kDate, 0, 0, false},
    {"Now", FunctionId::kNow, 0, 0, false},
    {"Nz", FunctionId::kNz, 1, 2, false},
    {"IIf", FunctionId::kIIf, 3, 3, false},
    {"IsNull", FunctionId::kIsNull, 1, 1, false},
    {"Val", FunctionId::kVal, 1, 1, false},
    {"Str", FunctionId::kStr, 1, 1, true},
    {"CStr", FunctionId::kCStr, 1, 1, true},
    {"CLng", FunctionId::kCLng, 1, 1, false},
    {"CInt", FunctionId::kCInt, 1, 1, false},
    {"CDbl", FunctionId::kCDbl, 1, 1, false},
    {"CCur", FunctionId::kCCur, 1, 1, false},
    {"CDate", FunctionId::kCDate, 1, 1, false},
    {"Int", FunctionId::kInt, 1, 1, false},
    {"Fix", FunctionId::kFix, 1, 1, false},
    {"Abs", FunctionId::kAbs, 1, 1, false},
    {"Round", FunctionId::kRound, 1, 2, false},
    {"Sgn", FunctionId::kSgn, 1, 1, false},
    {"Format", FunctionId::kFormat, 1, 2, true},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] void InvalidArgument(const char* what) {
  throw Error(kErrInvalidProcedureCall, what);
}
[[noreturn]] void InvalidUseOfNull() {
  throw Error(94, "Invalid use of Null", "a function that takes no Null was given one");
}

// Texts as characters (UTF-8 decoded), so that lengths and positions count
// characters as Visual Basic's do.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out += cp;
    i += n;
  }
  return out;
}

std::string Encode(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) jet::AppendUtf8(out, uint32_t(c));
  return out;
}

// Letters of Windows-1252's Latin range change case too (ñ, á, ...).
char32_t Upper(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0xFF) return 0x178;
  return c;
}
char32_t Lower(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x178) return 0xFF;
  return c;
}

std::u32string Chars(const Value& v) { return Decode(ToText(v)); }
Value TextOf(std::u32string_view s) { return Value::Text(Encode(s)); }

int64_t Count(const Value& v) {
  if (v.is_null()) InvalidUseOfNull();
  int64_t n = ToWhole(v);
  if (n < 0) InvalidArgument("a negative length");
  return n;
}

// Val: the number at the start of a text, blanks anywhere ignored;
// 0 when there is none.
Value Val(const Value& v) {
  if (v.is_null()) InvalidUseOfNull();
  std::string s;
  for (char c : ToText(v))
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    int64_t n = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      int digit = std::isxdigit(static_cast<unsigned char>(s[i]))
                      ? (std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0'
                                                                        : (s[i] | 0x20) - 'a' + 10)
                      : 99;
      if (digit >= base) break;
      n = n * base + digit;
    }
    return Value::Double(double(n));
  }
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t digits = i;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  }
  if (i == digits || (i == digits + 1 && s[digits] == '.')) return Value::Double(0);
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    size_t e = i + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    if (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e]))) {
      s[i] = 'E';
      i = e;
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    }
  }
  return Value::Double(std::strtod(s.substr(0, i).c_str(), nullptr));
}

Value ToCurrency(const Value& v) {
  Value n = ToNumber(v);
  if (n.kind() == Value::Kind::kCurrency) return n;
  if (n.is_integral()) return Arithmetic(sql::ArithmeticOp::kAdd, Value::Currency(0), n);
  const double scaled = RoundHalfEven(ToDouble(n) * 10000);
  if (!(std::fabs(scaled) < 9.2e18)) throw Error(kErrOverflow, "a value beyond Currency's range");
  return Value::Currency(int64_t(scaled));
}

Value Round(const Value& v, int64_t places) {
  if (places < 0) InvalidArgument("Round to fewer than no decimals");
  Value n = ToNumber(v);
  if (n.is_integral()) return n;
  if (n.kind() == Value::Kind::kCurrency) {
    if (places >= 4) return n;
    int64_t unit = 1;
    for (int64_t k = places; k < 4; ++k) unit *= 10;
    int64_t q = n.integer() / unit, r = n.integer() % unit;
    if (2 * r > unit || (2 * r == unit && (q & 1))) ++q;
    if (2 * r < -unit || (2 * r == -unit && (q & 1))) --q;
    return Value::Currency(q * unit);
  }
  const double scale = std::pow(10.0, double(std::min<int64_t>(places, 22)));
  return Value::Double(RoundHalfEven(ToDouble(n) * scale) / scale);
}

// Int and Fix keep their argument's type.
Value Whole(const Value& v, bool floor) {
  Value n = ToNumber(v);
  if (n.is_integral()) return n;
  if (n.kind() == Value::Kind::kCurrency) {
    int64_t q = n.integer() / 10000;
    if (floor && n.integer() < 0 && n.integer() % 10000 != 0) --q;
    return Value::Currency(q * 10000);
  }
  const double d = floor ? std::floor(n.AsDouble()) : std::trunc(n.AsDouble());
  if (n.kind() == Value::Kind::kDateTime) return Value::DateTime(d);
  return Value::Double(d);
}

Value Checked(int64_t v, int64_t low, int64_t high, bool integer) {
  if (v < low || v > high) throw Error(kErrOverflow, "a value beyond the type's range");
  return integer ? Value::Integer(int16_t(v)) : Value::Long(int32_t(v));
}

Value InStr(const std::vector<Value>& args) {
  size_t first = 0;
  int64_t start = 1;
  if (args.size() >= 3) {
    if (args[0].is_null()) InvalidUseOfNull();
    start = ToWhole(args[0]);
    if (start < 1) InvalidArgument("InStr from before the first character");
    first = 1;
  }
  const Value& within = args[first];
  const Value& sought = args[first + 1];
  if (within.is_null() || sought.is_null()) return Value::Null();
  std::u32string a = Chars(within), b = Chars(sought);
  const bool binary = args.size() == 4 && !args[3].is_null() && ToWhole(args[3]) == 0;
  if (!binary) {
    for (char32_t& c : a) c = Lower(c);
    for (char32_t& c : b) c = Lower(c);
  }
  if (size_t(start) > a.size() + (b.empty() ? 1 : 0)) return Value::Long(0);
  if (b.empty()) return Value::Long(int32_t(start));
  size_t at = a.find(b, size_t(start - 1));
  return Value::Long(at == std::u32string::npos ? 0 : int32_t(at + 1));
}

Value Replace(const std::vector<Value>& args) {
  if (args[0].is_null()) return Value::Null();
  std::u32string text = Chars(args[0]), find = Chars(args[1]), with = Chars(args[2]);
  int64_t start = args.size() > 3 ? ToWhole(args[3]) : 1;
  int64_t count = args.size() > 4 ? ToWhole(args[4]) : -1;
  if (start < 1) InvalidArgument("Replace from before the first character");
  if (size_t(start) > text.size()) return Value::Text("");
  // Visual Basic's Replace returns the text from `start` on.
  text = text.substr(size_t(start - 1));
  if (find.empty() || count == 0) return TextOf(text);
  std::u32string out;
  size_t from = 0;
  for (int64_t done = 0; count < 0 || done < count; ++done) {
    size_t at = text.find(find, from);
    if (at == std::u32string::npos) break;
    out.append(text, from, at - from);
    out += with;
    from = at + find.size();
  }
  out.append(text, from);
  return TextOf(out);
}

}  // namespace

const FunctionInfo* FindFunction(std::string_view name) {
  for (const FunctionInfo& f : kFunctions)
    if (SameName(f.name, name)) return &f;
  return nullptr;
}

Value CallFunction(FunctionId id, const std::vector<Value>& args, const Clock& clock) {
  using F = FunctionId;
  const Value& a = args.empty() ? Value() : args[0];
  switch (id) {
    case F::kNz: return a.is_null() ? (args.size() > 1 ? args[1] : Value::Text("")) : a;
    case F::kIIf: return TruthOf(a) == Truth::kTrue ? args[1] : args[2];
    case F::kIsNull: return Value::Boolean(a.is_null());
    case F::kVal: return Val(a);
    case F::kCStr:
      if (a.is_null()) InvalidUseOfNull();
      return Value::Text(ToText(a));
    case F::kStr: {
      if (a.is_null()) return a;
      Value n = ToNumber(a);
      std::string text = ToText(n.kind() == Value::Kind::kBoolean ? Value::Long(int32_t(-n.integer())) : n);
      return Value::Text(text[0] == '-' ? text : " " + text);
    }
    case F::kCLng:
    case F::kCInt: {
      if (a.is_null()) InvalidUseOfNull();
      const int64_t n = ToWhole(a);
      return id == F::kCInt ? Checked(n, -32768, 32767, true)
                            : Checked(n, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max(), false);
    }
    case F::kCDbl:
      if (a.is_null()) InvalidUseOfNull();
      return Value::Double(ToDouble(a));
    case F::kCCur:
      if (a.is_null()) InvalidUseOfNull();
      return ToCurrency(a);
    case F::kCDate:
      if (a.is_null()) InvalidUseOfNull();
      return Value::DateTime(ToDate(a));
    default: break;
  }
  // The rest give Null for a Null first argument.
  if (a.is_null() && id != F::kSpace && id != F::kString && id != F::kInStr &&
      id != F::kDate && id != F::kNow && id != F::kDateAdd && id != F::kDateDiff &&
      id != F::kDateSerial && id != F::kFormat) {
    return Value::Null();
  }
  switch (id) {
    case F::kLen: return Value::Long(int32_t(Chars(a).size()));
    case F::kLeft:
    case F::kRight: {
      std::u32string s = Chars(a);
      const size_t n = size_t(std::min<int64_t>(Count(args[1]), int64_t(s.size())));
      return TextOf(id == F::kLeft ? s.substr(0, n) : s.substr(s.size() - n));
    }
    case F::kMid: {
      std::u32string s = Chars(a);
      if (args[1].is_null()) InvalidUseOfNull();
      const int64_t start = ToWhole(args[1]);
      if (start < 1) InvalidArgument("Mid from before the first character");
      if (size_t(start) > s.size()) return Value::Text("");
      const int64_t n = args.size() > 2 ? Count(args[2]) : int64_t(s.size());
      return TextOf(s.substr(size_t(start - 1), size_t(std::min<int64_t>(n, int64_t(s.size())))));
    }
    case F::kInStr: return InStr(args);
    case F::kUCase:
    case F::kLCase: {
      std::u32string s = Chars(a);
      for (char32_t& c : s) c = id == F::kUCase ? Upper(c) : Lower(c);
      return TextOf(s);
    }
    case F::kTrim:
    case F::kLTrim:
    case F::kRTrim: {
      std::string s = ToText(a);
      size_t begin = 0, end = s.size();
      if (id != F::kRTrim) while (begin < end && s[begin] == ' ') ++begin;
      if (id != F::kLTrim) while (end > begin && s[end - 1] == ' ') --end;
      return Value::Text(s.substr(begin, end - begin));
    }
    case F::kReplace: return Replace(args);
    case F::kSpace: return Value::Text(std::string(size_t(std::min<int64_t>(Count(a), 65535)), ' '));
    case F::kString: {
      const int64_t n = std::min<int64_t>(Count(a), 65535);
      const Value& c = args[1];
      if (c.is_null()) return Value::Null();
      std::u32string one;
      if (c.is_text()) {
        one = Decode(c.bytes());
        if (one.empty()) InvalidArgument("String of no character");
        one.resize(1);
      } else {
        one = char32_t(ToWhole(c) & 0xFF);
      }
      return TextOf(std::u32string(size_t(n), one[0]));
    }
    case F::kInt: return Whole(a, true);
    case F::kFix: return Whole(a, false);
    case F::kAbs: {
      Value n = ToNumber(a);
      return ToDouble(n) < 0 ? Negate(n) : (n.kind() == Value::Kind::kBoolean ? Value::Long(0) : n);
    }
    case F::kSgn: {
      const double d = ToDouble(a);
      return Value::Integer(int16_t((d > 0) - (d < 0)));
    }
    case F::kRound: return Round(a, args.size() > 1 && !args[1].is_null() ? ToWhole(args[1]) : 0);
    case F::kFormat: return FormatValue(a, args.size() > 1 ? ToText(args[1]) : "");
    default: return CallDateFunction(id, args, clock);
  }
}

}  // namespace act::db::exec
