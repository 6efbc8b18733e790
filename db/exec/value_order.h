// Jet's order of values, for conditions, sorting, grouping and DISTINCT.
//
// Text compares by the Jet 3 "General" sort key, so letter case is ignored
// and texts with equal keys are equal ("abc" = "ABC"). Numbers, dates and
// Yes/No compare by value (Jet's True is -1, so it sorts before False);
// binary values and GUIDs byte by byte; Null comes before everything.
#pragma once

#include <string>
#include <string_view>

#include "db/value.h"

namespace act::db::exec {

// <0, 0, >0 as Jet orders two texts.
int JetTextCompare(std::string_view a, std::string_view b);

// The bytes that compare (memcmp, a prefix first) as the text does in
// JetTextCompare: its Jet 3 key, or its ASCII-lowercased bytes behind a
// 0xFF (which starts no key) when it has no Windows-1252 form. Only the
// first kMaxKeyCharacters count: longer texts (memos) that agree that far
// compare equal.
std::string TextCompareKey(std::string_view text);
inline constexpr size_t kMaxKeyCharacters = 4096;

// A number's value as Jet compares it: True is -1.
double NumberValue(const Value& v);

// Appends the order key of `v`: keys appended one after another compare
// with memcmp as the values do in Jet's order, column by column, each
// column ascending or descending (Null first ascending, last descending).
// Values of one column are of one kind (or Null).
void AppendOrderKey(std::string& key, const Value& v, bool descending = false);

// <0, 0, >0 as ORDER BY ranks two values of one column.
int CompareForOrder(const Value& a, const Value& b);

}  // namespace act::db::exec
