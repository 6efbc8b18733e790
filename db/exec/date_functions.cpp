// The date functions of functions.h, on Jet's dates (days since
// 1899-12-30, the time of day as the fraction).
#include <cmath>

#include "db/errors.h"
#include "db/exec/arithmetic.h"
#include "db/exec/functions.h"
#include "db/sql/date_literal.h"

namespace act::db::exec {

namespace {

[[noreturn]] void InvalidArgument(const std::string& what) {
  throw Error(kErrInvalidProcedureCall, what);
}

sql::DateTime Parts(double date) {
  auto d = sql::FromJetDate(date);
  if (!d) InvalidArgument("a date outside the years 100 to 9999");
  return *d;
}

double Whole(double date) { return std::trunc(date); }
double TimeOf(double date) { return std::fabs(date - Whole(date)); }

// A date from a year, month and day that may lie outside their ranges
// (month 13 is January of the next year, day 0 the last of the month
// before), as DateSerial and DateAdd take them.
double Serial(int64_t year, int64_t month, int64_t day) {
  year += (month - 1) >= 0 ? (month - 1) / 12 : -((12 - month) / 12);
  month = ((month - 1) % 12 + 12) % 12 + 1;
  if (year < 100 || year > 9999) InvalidArgument("a date outside the years 100 to 9999");
  return sql::ToJetDate({int(year), int(month), 1, 0, 0, 0}) + double(day - 1);
}

// The interval of DateAdd and DateDiff.
enum class Interval { kYear, kQuarter, kMonth, kDay, kWeekday, kWeek, kHour, kMinute, kSecond };
Interval IntervalOf(const Value& v) {
  std::string s = ToText(v);
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (s == "yyyy") return Interval::kYear;
  if (s == "q") return Interval::kQuarter;
  if (s == "m") return Interval::kMonth;
  if (s == "d" || s == "y") return Interval::kDay;
  if (s == "w") return Interval::kWeekday;
  if (s == "ww") return Interval::kWeek;
  if (s == "h") return Interval::kHour;
  if (s == "n") return Interval::kMinute;
  if (s == "s") return Interval::kSecond;
  InvalidArgument("'" + s + "' is no interval (yyyy q m y d w ww h n s)");
}

// A date moved by whole months, the day kept or cut to the month's last.
double AddMonths(double date, int64_t months) {
  sql::DateTime d = Parts(date);
  int64_t total = int64_t(d.year) * 12 + (d.month - 1) + months;
  int64_t year = total / 12, month = total % 12 + 1;
  if (year < 100 || year > 9999) InvalidArgument("a date outside the years 100 to 9999");
  int day = std::min(d.day, sql::DaysInMonth(int(year), int(month)));
  double moved = sql::ToJetDate({int(year), int(month), day, 0, 0, 0});
  return moved < 0 ? moved - TimeOf(date) : moved + TimeOf(date);
}

// Day number with the time as a fraction counting forwards (Jet's dates
// before 1899-12-30 keep a positive time).
double Linear(double date) { return Whole(date) + TimeOf(date); }

int WeekdayOf(double date, int first) {
  // 1899-12-30 was a Saturday (7 when Sunday is 1).
  int64_t day = int64_t(std::floor(Whole(date)));
  int sunday_based = int(((day + 6) % 7 + 7) % 7) + 1;
  return (sunday_based - first + 7) % 7 + 1;
}

}  // namespace

Value CallDateFunction(FunctionId id, const std::vector<Value>& args, const Clock& clock) {
  using F = FunctionId;
  if (id == F::kNow || id == F::kDate) {
    const LocalTime t = clock.Now();
    sql::DateTime d{t.year, t.month, t.day, 0, 0, 0};
    if (id == F::kNow) d.hour = t.hour, d.minute = t.minute, d.second = t.second;
    return Value::DateTime(sql::ToJetDate(d));
  }
  for (const Value& v : args)
    if (v.is_null()) return Value::Null();
  switch (id) {
    case F::kDateSerial:
      return Value::DateTime(Serial(
          [&] { int64_t y = ToWhole(args[0]); return y >= 0 && y < 30 ? y + 2000 : y >= 30 && y < 100 ? y + 1900 : y; }(),
          ToWhole(args[1]), ToWhole(args[2])));
    case F::kDateValue: return Value::DateTime(Whole(ToDate(args[0])));
    default: break;
  }
  if (id == F::kDateAdd) {
    const Interval interval = IntervalOf(args[0]);
    const double date = ToDate(args[2]);
    const double n = std::trunc(ToDouble(args[1]));
    double result = 0;
    switch (interval) {
      case Interval::kYear: result = AddMonths(date, int64_t(n) * 12); break;
      case Interval::kQuarter: result = AddMonths(date, int64_t(n) * 3); break;
      case Interval::kMonth: result = AddMonths(date, int64_t(n)); break;
      case Interval::kDay: case Interval::kWeekday: result = date + n; break;
      case Interval::kWeek: result = date + 7 * n; break;
      case Interval::kHour: result = date + n / 24; break;
      case Interval::kMinute: result = date + n / 1440; break;
      case Interval::kSecond: result = date + n / 86400; break;
    }
    Parts(result);  // within Jet's years
    return Value::DateTime(result);
  }
  if (id == F::kDateDiff) {
    const Interval interval = IntervalOf(args[0]);
    const double a = ToDate(args[1]), b = ToDate(args[2]);
    const sql::DateTime x = Parts(a), y = Parts(b);
    auto boundaries = [&](double per_day) {
      // Boundaries crossed: whole units between the two, counted on the
      // seconds each lies at.
      const double sa = std::floor(Linear(a) * 86400 + 0.5), sb = std::floor(Linear(b) * 86400 + 0.5);
      const double unit = 86400 / per_day;
      return std::floor(sb / unit) - std::floor(sa / unit);
    };
    double r = 0;
    switch (interval) {
      case Interval::kYear: r = y.year - x.year; break;
      case Interval::kQuarter: r = (y.year * 4 + (y.month - 1) / 3) - (x.year * 4 + (x.month - 1) / 3); break;
      case Interval::kMonth: r = (y.year * 12 + y.month) - (x.year * 12 + x.month); break;
      case Interval::kDay: r = Whole(b) - Whole(a); break;
      case Interval::kWeekday: r = std::trunc((Whole(b) - Whole(a)) / 7); break;
      case Interval::kWeek: {
        const int first = args.size() > 3 ? int(ToWhole(args[3])) : 1;
        auto week_start = [&](double d) { return Whole(d) - (WeekdayOf(d, first) - 1); };
        r = (week_start(b) - week_start(a)) / 7;
        break;
      }
      case Interval::kHour: r = boundaries(24); break;
      case Interval::kMinute: r = boundaries(1440); break;
      case Interval::kSecond: r = boundaries(86400); break;
    }
    return WholeResult(int64_t(r));
  }
  const double date = ToDate(args[0]);
  const sql::DateTime d = Parts(date);
  switch (id) {
    case F::kYear: return Value::Integer(int16_t(d.year));
    case F::kMonth: return Value::Integer(int16_t(d.month));
    case F::kDay: return Value::Integer(int16_t(d.day));
    case F::kHour: return Value::Integer(int16_t(d.hour));
    case F::kMinute: return Value::Integer(int16_t(d.minute));
    case F::kSecond: return Value::Integer(int16_t(d.second));
    case F::kWeekday: {
      const int first = args.size() > 1 ? int(ToWhole(args[1])) : 1;
      if (first < 0 || first > 7) InvalidArgument("a first day of the week outside 0 to 7");
      return Value::Integer(int16_t(WeekdayOf(date, first == 0 ? 1 : first)));
    }
    default: break;
  }
  throw Error(kErrInvalidProcedureCall, "a function this engine does not run");
}

}  // namespace act::db::exec
