// Format(value, pattern) for the patterns support staff use:
//
// - named: General Number, Fixed, Standard, Percent, Currency, General Date,
//   Long Date, Medium Date, Short Date, Long Time, Medium Time, Short Time,
//   Yes/No, True/False, On/Off;
// - dates: d dd ddd dddd m mm mmm mmmm yy yyyy q h hh n nn s ss AM/PM am/pm,
//   with / - : . , and blanks between, "quoted" or \escaped text kept;
// - numbers: 0 and # digits, a period for the decimals, a comma for
//   thousands, % (times 100).
//
// The output follows the product's Spanish regional settings for names
// (enero, lunes) and the order of Short Date (dd/mm/yyyy), and keeps the
// pattern's own period and comma. Null gives Null; no pattern gives the
// value as CStr makes it.
#pragma once

#include <string>

#include "db/value.h"

namespace act::db::exec {

Value FormatValue(const Value& value, const std::string& pattern);

}  // namespace act::db::exec
