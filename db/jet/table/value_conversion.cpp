#include "db/jet/table/value_conversion.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool SameWord(const std::string& a, const char* b) {
  size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

std::optional<double> TextNumber(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
  // strtod also reads hex and "inf"/"nan"; Jet reads neither.
  for (char c : t) {
    if (std::isalpha(static_cast<unsigned char>(c)) && c != 'e' && c != 'E') return std::nullopt;
  }
  return v;
}

// Days since 1899-12-30 of a proleptic Gregorian date.
double DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days_since_1970 = long(era) * 146097 + doe - 719468;
  return double(days_since_1970 + 25569);
}

std::optional<double> TextDate(const std::string& text) {
  int y, mo, d, h = 0, mi = 0, s = 0;
  char tail;
  std::string t = Trim(text);
  int n = std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n != 3 && n != 5 && n != 6) return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 ||
      s < 0) {
    return std::nullopt;
  }
  return JetDate(y, mo, d, h, mi, s);
}

// The number a value stands for, if it stands for one.
std::optional<double> AsNumber(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kText: {
      if (SameWord(v.bytes(), "true") || SameWord(v.bytes(), "yes") || SameWord(v.bytes(), "on")) {
        return -1.0;
      }
      if (SameWord(v.bytes(), "false") || SameWord(v.bytes(), "no") || SameWord(v.bytes(), "off")) {
        return 0.0;
      }
      return TextNumber(v.bytes());
    }
    case Value::Kind::kBoolean: return v.integer() ? -1.0 : 0.0;
    case Value::Kind::kNull: case Value::Kind::kBinary: case Value::Kind::kGuid:
      return std::nullopt;
    default: return v.AsDouble();
  }
}

std::optional<int64_t> WholeNumber(const Value& v, int64_t low, int64_t high) {
  if (v.is_integral() && v.kind() != Value::Kind::kBoolean) {
    if (v.integer() < low || v.integer() > high) return std::nullopt;
    return v.integer();
  }
  auto d = AsNumber(v);
  if (!d) return std::nullopt;
  double r = std::nearbyint(*d);  // the default rounding mode: half to even
  if (r < double(low) || r > double(high)) return std::nullopt;
  return int64_t(r);
}

std::optional<std::string> GuidFromText(const std::string& text) {
  std::string t = Trim(text);
  if (t.size() == 36) t = "{" + t + "}";
  if (t.size() != 38 || t.front() != '{' || t.back() != '}') return std::nullopt;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != '-' : !std::isxdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
    t[i] = char(std::toupper(static_cast<unsigned char>(t[i])));
  }
  return t;
}

}  // namespace

bool IsOfColumnKind(const ColumnDef& column, const Value& v) {
  using Kind = Value::Kind;
  switch (v.kind()) {
    case Kind::kNull: return true;
    case Kind::kBoolean: return column.type == kTypeBoolean;
    case Kind::kByte: return column.type == kTypeByte;
    case Kind::kInteger: return column.type == kTypeInteger;
    case Kind::kLong: return column.type == kTypeLong;
    case Kind::kCurrency: return column.type == kTypeCurrency;
    case Kind::kDouble: return column.type == kTypeDouble;
    case Kind::kDateTime: return column.type == kTypeDateTime;
    case Kind::kText: return column.type == kTypeText || column.type == kTypeMemo;
    case Kind::kBinary: return column.type == kTypeBinary || column.type == kTypeOle;
    default: return false;  // Single and GUID values are checked or reshaped
  }
}

double JetDate(int year, int month, int day, int hour, int minute, int second) {
  double days = DaysFromCivil(year, month, day);
  double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  // Jet's doubles before day 0 carry the time as a positive fraction.
  return days < 0 ? days - time : days + time;
}

std::optional<Value> ConvertForColumn(const ColumnDef& column, const Value& v) {
  if (IsOfColumnKind(column, v)) return v;
  switch (column.type) {
    case kTypeBoolean: {
      auto d = AsNumber(v);
      if (!d) return std::nullopt;
      return Value::Boolean(*d != 0);
    }
    case kTypeByte: {
      auto n = WholeNumber(v, 0, 255);
      if (!n) return std::nullopt;
      return Value::Byte(uint8_t(*n));
    }
    case kTypeInteger: {
      auto n = WholeNumber(v, -32768, 32767);
      if (!n) return std::nullopt;
      return Value::Integer(int16_t(*n));
    }
    case kTypeLong: {
      auto n = WholeNumber(v, std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max());
      if (!n) return std::nullopt;
      return Value::Long(int32_t(*n));
    }
    case kTypeCurrency: {
      if (v.is_integral()) return Value::Currency(v.integer() * 10000);
      auto d = AsNumber(v);
      if (!d || std::fabs(*d) > 922337203685477.0) return std::nullopt;
      return Value::Currency(int64_t(std::nearbyint(*d * 10000.0)));
    }
    case kTypeSingle: {
      auto d = AsNumber(v);
      if (!d || std::fabs(*d) > std::numeric_limits<float>::max()) return std::nullopt;
      return Value::Single(float(*d));
    }
    case kTypeDouble: {
      auto d = AsNumber(v);
      if (!d) return std::nullopt;
      return Value::Double(*d);
    }
    case kTypeDateTime: {
      if (v.kind() == Value::Kind::kText) {
        auto d = TextDate(v.bytes());
        if (!d) d = TextNumber(v.bytes());
        if (!d) return std::nullopt;
        return Value::DateTime(*d);
      }
      auto d = AsNumber(v);
      if (!d) return std::nullopt;
      return Value::DateTime(*d);
    }
    case kTypeText:
    case kTypeMemo: {
      if (v.kind() == Value::Kind::kBoolean) return Value::Text(v.integer() ? "-1" : "0");
      if (v.kind() == Value::Kind::kBinary) {
        // Bytes read as code-page text, as Jet does.
        std::span<const uint8_t> b(reinterpret_cast<const uint8_t*>(v.bytes().data()),
                                   v.bytes().size());
        return Value::Text(Cp1252ToUtf8(b));
      }
      return Value::Text(v.ToText());
    }
    case kTypeBinary:
    case kTypeOle: {
      if (v.kind() == Value::Kind::kText) {
        auto bytes = Utf8ToCp1252(v.bytes());
        if (!bytes) return std::nullopt;
        return Value::Binary(*bytes);
      }
      return std::nullopt;
    }
    case kTypeGuid: {
      if (v.kind() != Value::Kind::kGuid && v.kind() != Value::Kind::kText) return std::nullopt;
      auto g = GuidFromText(v.bytes());
      if (!g) return std::nullopt;
      return Value::Guid(*g);
    }
    default:
      if (v.kind() == Value::Kind::kDecimal && column.type == kTypeDecimal) return v;
      return std::nullopt;
  }
}

}  // namespace act::db::jet
