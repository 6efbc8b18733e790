// The operators of Jet expressions over values, with Visual Basic's type
// rules as Jet's expression service applies them:
//
// - Null in, Null out (but & takes Null for the empty text, and gives Null
//   only when both sides are Null).
// - + of two texts joins them; otherwise text that reads as a number is
//   that number, and any other text is refused (3464).
// - Whole numbers (Yes/No as -1 and 0, Byte, Integer, Long) give a Long,
//   or a Double when the result leaves Long's range; Currency with a whole
//   number or Currency stays Currency, computed exactly (Overflow, 6, past
//   its range); anything with Single or Double gives a Double. A date plus
//   or minus a number is a date; a date minus a date is a Double (days).
// - / gives a Double; \ and Mod round both sides to whole numbers first
//   (half to even) and give a Long; ^ gives a Double. Division by zero is
//   error 11.
//
// Numbers become text (for & and the text functions) as CStr makes them:
// whole numbers in digits, Doubles with up to 15 significant digits, the
// period as the decimal sign; dates as dd/mm/yyyy hh:nn:ss (the product's
// Spanish regional settings; a date without a time of day, or a time
// without a date, shows only that part); Yes/No as True or False.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

Value Arithmetic(sql::ArithmeticOp op, const Value& a, const Value& b);
Value Negate(const Value& v);

// Conversions shared by the operators and the functions. Each throws
// 3464 for a value that does not convert, and Invalid use of Null (94) is
// left to the caller.
std::string ToText(const Value& v);
// A number (a text that reads wholly as one, blanks around it allowed).
Value ToNumber(const Value& v);
double ToDouble(const Value& v);
// A date: a number as days, a text as DateValue reads it.
double ToDate(const Value& v);
// A text read as a date and time: yyyy-mm-dd or d/m/yyyy (day first, the
// Spanish order), optionally followed by h:nn[:ss]; or a time alone.
std::optional<double> ParseDateText(std::string_view text);
// Rounds half to even, as CInt, CLng and Round do.
double RoundHalfEven(double v);
// The whole number a value rounds to (Overflow past 64 bits).
int64_t ToWhole(const Value& v);
// Long when it fits, else Double.
Value WholeResult(int64_t v);

// Truth of a value as a condition: Null is neither; numbers are true when
// not zero; text that reads as a number likewise, other text is 3464.
enum class Truth : uint8_t { kFalse, kTrue, kNull };
Truth TruthOf(const Value& v);

}  // namespace act::db::exec
