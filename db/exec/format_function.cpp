#include "db/exec/format_function.h"

#include <cmath>
#include <cstdio>

#include "db/exec/arithmetic.h"
#include "db/sql/date_literal.h"

namespace act::db::exec {

namespace {

constexpr const char* kMonths[] = {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio",
                                   "agosto", "septiembre", "octubre", "noviembre", "diciembre"};
constexpr const char* kDays[] = {"domingo", "lunes", "martes", "miércoles",
                                 "jueves", "viernes", "sábado"};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

// A name's first three letters (their bytes: no name has a two-byte
// letter among its first three).
std::string Abbreviated(const char* name) { return std::string(name).substr(0, 3); }

std::string FormatDate(double date, const std::string& pattern) {
  auto parts = sql::FromJetDate(date);
  if (!parts) return ToText(Value::Double(date));
  const sql::DateTime& d = *parts;
  const int weekday = int(((int64_t(std::floor(std::trunc(date))) + 6) % 7 + 7) % 7);
  const bool twelve_hours = Lower(pattern).find("am/pm") != std::string::npos;
  std::string out;
  bool after_hour = false;
  for (size_t i = 0; i < pattern.size();) {
    const char c = char(std::tolower(static_cast<unsigned char>(pattern[i])));
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == c)
      ++run;
    if (c == '"') {
      size_t close = pattern.find('"', i + 1);
      if (close == std::string::npos) close = pattern.size();
      out += pattern.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    if (c == '\\' && i + 1 < pattern.size()) {
      out += pattern[i + 1];
      i += 2;
      continue;
    }
    if (Lower(pattern.substr(i, 5)) == "am/pm") {
      const bool upper = pattern[i] == 'A';
      out += d.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
      continue;
    }
    switch (c) {
      case 'y':
        out += run >= 3 ? std::to_string(d.year) : Two(d.year % 100);
        break;
      case 'm':
        // m after an hour is minutes, as Visual Basic reads it.
        if (after_hour && run <= 2) out += run == 2 ? Two(d.minute) : std::to_string(d.minute);
        else if (run >= 4) out += kMonths[d.month - 1];
        else if (run == 3) out += Abbreviated(kMonths[d.month - 1]);
        else out += run == 2 ? Two(d.month) : std::to_string(d.month);
        break;
      case 'd':
        if (run >= 4) out += kDays[weekday];
        else if (run == 3) out += Abbreviated(kDays[weekday]);
        else out += run == 2 ? Two(d.day) : std::to_string(d.day);
        break;
      case 'q': out += std::to_string((d.month - 1) / 3 + 1); break;
      case 'h': {
        int h = twelve_hours ? (d.hour % 12 == 0 ? 12 : d.hour % 12) : d.hour;
        out += run >= 2 ? Two(h) : std::to_string(h);
        break;
      }
      case 'n': out += run >= 2 ? Two(d.minute) : std::to_string(d.minute); break;
      case 's': out += run >= 2 ? Two(d.second) : std::to_string(d.second); break;
      default: out.append(run, pattern[i]); break;
    }
    after_hour = c == 'h' || (after_hour && (c == ':' || c == ' '));
    i += run;
  }
  return out;
}

std::string Grouped(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FormatNumber(double v, const std::string& pattern) {
  const bool percent = pattern.find('%') != std::string::npos;
  if (percent) v *= 100;
  const size_t point = pattern.find('.');
  std::string whole_part = pattern.substr(0, point);
  std::string fraction_part = point == std::string::npos ? "" : pattern.substr(point + 1);
  const bool thousands = whole_part.find(',') != std::string::npos;
  int least_whole = 0, zeros = 0, decimals = 0;
  for (char c : whole_part) least_whole += c == '0';
  for (char c : fraction_part) {
    if (c == '0') ++zeros, ++decimals;
    if (c == '#') ++decimals;
  }
  std::string prefix, suffix;
  for (char c : whole_part) {
    if (c == '0' || c == '#' || c == ',') break;
    prefix += c;
  }
  for (size_t i = pattern.size(); i-- > 0;) {
    char c = pattern[i];
    if (c == '0' || c == '#' || c == '.' || c == ',') break;
    if (c != '%') suffix.insert(suffix.begin(), c);
  }
  const double scale = std::pow(10.0, decimals);
  // Format rounds half away from zero.
  double rounded = std::round(std::fabs(v) * scale) / scale;
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
  std::string text = buffer;
  std::string whole = text.substr(0, text.find('.'));
  std::string fraction = decimals ? text.substr(text.find('.') + 1) : "";
  while (int(fraction.size()) > zeros && !fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (whole == "0" && least_whole == 0) whole.clear();
  while (int(whole.size()) < least_whole) whole.insert(whole.begin(), '0');
  if (thousands) whole = Grouped(whole);
  std::string out = whole;
  if (!fraction.empty() || (point != std::string::npos && zeros > 0)) out += "." + fraction;
  else if (point != std::string::npos && decimals > 0 && fraction.empty() && zeros == 0) out += ".";
  const bool negative = v < 0 && rounded != 0;
  return (negative ? "-" : "") + prefix + out + (percent ? "%" : "") + suffix;
}

}  // namespace

Value FormatValue(const Value& value, const std::string& pattern) {
  if (value.is_null()) return Value::Null();
  const std::string named = Lower(pattern);
  if (pattern.empty()) return Value::Text(ToText(value));
  auto date = [&] { return ToDate(value); };
  auto number = [&] { return ToDouble(value); };
  if (named == "general number") return Value::Text(ToText(ToNumber(value)));
  if (named == "fixed") return Value::Text(FormatNumber(number(), "0.00"));
  if (named == "standard") return Value::Text(FormatNumber(number(), "#,##0.00"));
  if (named == "percent") return Value::Text(FormatNumber(number(), "0.00%"));
  if (named == "currency") return Value::Text(FormatNumber(number(), "#,##0.00 €"));
  if (named == "yes/no") return Value::Text(number() != 0 ? "Sí" : "No");
  if (named == "true/false") return Value::Text(number() != 0 ? "True" : "False");
  if (named == "on/off") return Value::Text(number() != 0 ? "On" : "Off");
  if (named == "general date") return Value::Text(ToText(Value::DateTime(date())));
  if (named == "long date") return Value::Text(FormatDate(date(), "dddd, d \"de\" mmmm \"de\" yyyy"));
  if (named == "medium date") return Value::Text(FormatDate(date(), "dd-mmm-yy"));
  if (named == "short date") return Value::Text(FormatDate(date(), "dd/mm/yyyy"));
  if (named == "long time") return Value::Text(FormatDate(date(), "h:nn:ss"));
  if (named == "medium time") return Value::Text(FormatDate(date(), "hh:nn AM/PM"));
  if (named == "short time") return Value::Text(FormatDate(date(), "hh:nn"));
  // A pattern of digits formats a number; any other a date.
  if (pattern.find_first_of("0#") != std::string::npos) {
    return Value::Text(FormatNumber(number(), pattern));
  }
  return Value::Text(FormatDate(date(), pattern));
}

}  // namespace act::db::exec
