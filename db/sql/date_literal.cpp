#include "db/sql/date_literal.h"

#include <cctype>
#include <string>

namespace act::sql {
namespace {

// A cursor over the literal, with the little scanning the formats need.
class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}

  void SkipSpaces() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }
  // An unsigned number of 1 to max_digits digits; *digits tells how many.
  bool Number(int max_digits, int* value, int* digits) {
    int n = 0, count = 0;
    while (!AtEnd() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
      if (++count > max_digits) return false;
      n = n * 10 + (s_[pos_++] - '0');
    }
    *value = n;
    if (digits) *digits = count;
    return count > 0;
  }
  // "AM" or "PM" in any case.
  std::optional<bool> Meridiem() {
    if (pos_ + 2 > s_.size()) return std::nullopt;
    char a = static_cast<char>(std::toupper(static_cast<unsigned char>(s_[pos_])));
    char m = static_cast<char>(std::toupper(static_cast<unsigned char>(s_[pos_ + 1])));
    if (m != 'M' || (a != 'A' && a != 'P')) return std::nullopt;
    pos_ += 2;
    return a == 'P';
  }
  std::size_t position() const { return pos_; }
  void Reset(std::size_t pos) { pos_ = pos; }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

bool ParseDate(Scanner& in, DateTime* out) {
  int first, first_digits, second, third, third_digits;
  if (!in.Number(4, &first, &first_digits)) return false;
  char separator = in.Peek();
  if (separator != '-' && separator != '/') return false;
  in.Accept(separator);
  if (!in.Number(2, &second, nullptr)) return false;
  if (!in.Accept(separator)) return false;
  if (!in.Number(4, &third, &third_digits)) return false;
  if (first_digits == 4) {  // year first: 2024-05-01, 2024/05/01
    out->year = first;
    out->month = second;
    out->day = third;
    if (third_digits > 2) return false;
  } else {  // month first: 5/1/2024
    if (separator != '/' || third_digits != 4) return false;
    out->month = first;
    out->day = second;
    out->year = third;
  }
  return out->year >= 100 && out->month >= 1 && out->month <= 12 && out->day >= 1 &&
         out->day <= DaysInMonth(out->year, out->month);
}

bool ParseTime(Scanner& in, DateTime* out) {
  int hour, minute, second = 0;
  if (!in.Number(2, &hour, nullptr) || !in.Accept(':') || !in.Number(2, &minute, nullptr))
    return false;
  if (in.Accept(':') && !in.Number(2, &second, nullptr)) return false;
  in.SkipSpaces();
  if (auto pm = in.Meridiem()) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (*pm ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  out->hour = hour;
  out->minute = minute;
  out->second = second;
  return true;
}

}  // namespace

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

long long DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil: eras of 400 years, March-based years.
  long long y = year - (month <= 2 ? 1 : 0);
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long mp = (month + 9) % 12;
  long long doy = (153 * mp + 2) / 5 + day - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::optional<DateTime> ParseDateLiteral(std::string_view text) {
  Scanner in(text);
  DateTime result;
  in.SkipSpaces();
  std::size_t start = in.position();
  bool has_date = ParseDate(in, &result);
  if (!has_date) {
    in.Reset(start);
    result = DateTime{};
  }
  in.SkipSpaces();
  bool has_time = false;
  if (!in.AtEnd()) {
    if (!ParseTime(in, &result)) return std::nullopt;
    has_time = true;
  }
  in.SkipSpaces();
  if (!in.AtEnd() || (!has_date && !has_time)) return std::nullopt;
  return result;
}

double ToJetDate(const DateTime& date) {
  long long days = DaysFromCivil(date.year, date.month, date.day) - DaysFromCivil(1899, 12, 30);
  double fraction = (date.hour * 3600 + date.minute * 60 + date.second) / 86400.0;
  return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

std::optional<DateTime> FromJetDate(double jet_date) {
  const double first = ToJetDate({100, 1, 1, 0, 0, 0});
  const double last = ToJetDate({9999, 12, 31, 23, 59, 59});
  if (!(jet_date >= first - 1 && jet_date <= last + 1)) return std::nullopt;  // NaN too
  long long day = static_cast<long long>(jet_date);  // towards zero: the whole part
  double fraction = jet_date - static_cast<double>(day);
  if (fraction < 0) fraction = -fraction;  // before day zero the time still runs forwards
  long long seconds = static_cast<long long>(fraction * 86400.0 + 0.5);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  // Civil date from days since 1970-01-01 (the inverse of DaysFromCivil).
  long long z = day + DaysFromCivil(1899, 12, 30) + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  DateTime d;
  d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
  d.hour = static_cast<int>(seconds / 3600);
  d.minute = static_cast<int>(seconds / 60 % 60);
  d.second = static_cast<int>(seconds % 60);
  if (d.year < 100 || d.year > 9999) return std::nullopt;
  return d;
}

}  // namespace act::sql
