// The functions of Jet expressions that support staff reach for, with
// Visual Basic's semantics (as Jet's expression service runs them):
//
//   text:        Len Left Right Mid InStr UCase LCase Trim LTrim RTrim
//                Replace Space String
//   dates:       Year Month Day Hour Minute Second Weekday DateAdd DateDiff
//                DateSerial DateValue Date Now
//   conversions: Nz IIf IsNull Val Str CStr CLng CInt CDbl CCur CDate Int
//                Fix Abs Round Sgn Format
//
// Names are matched without regard to case. Now() and Date() read the
// clock the statement was given (Database::clock(), the system's local
// time unless a test gives its own), once per statement. Text functions
// count characters, not bytes; InStr compares without regard to case (as
// Access's queries do), Replace exactly. Round, CInt and CLng round half
// to even. Null gives Null, except where Visual Basic refuses it (Invalid
// use of Null, 94: CStr, CLng, CInt, CDbl, CCur, CDate, Val, Space,
// String's count). Format is in format_function.h.
#pragma once

#include <string_view>
#include <vector>

#include "db/value.h"
#include "platform/clock.h"

namespace act::db::exec {

enum class FunctionId : uint8_t {
  kLen, kLeft, kRight, kMid, kInStr, kUCase, kLCase, kTrim, kLTrim, kRTrim, kReplace, kSpace,
  kString,
  kYear, kMonth, kDay, kHour, kMinute, kSecond, kWeekday, kDateAdd, kDateDiff, kDateSerial,
  kDateValue, kDate, kNow,
  kNz, kIIf, kIsNull, kVal, kStr, kCStr, kCLng, kCInt, kCDbl, kCCur, kCDate, kInt, kFix, kAbs,
  kRound, kSgn, kFormat,
};

struct FunctionInfo {
  std::string_view name;
  FunctionId id;
  int least_arguments;
  int most_arguments;
  bool gives_text;  // its result is always text (or Null)
};

// The function called `name`, or nullptr.
const FunctionInfo* FindFunction(std::string_view name);

// The function applied to its arguments (IIf has them all evaluated: the
// expression evaluator only evaluates the one it takes).
Value CallFunction(FunctionId id, const std::vector<Value>& args, const Clock& clock);

// The date functions (date_functions.cpp).
Value CallDateFunction(FunctionId id, const std::vector<Value>& args, const Clock& clock);

}  // namespace act::db::exec
