// Counts of the update manifest: how a text such as "12", "2.5" or "" turns
// into the 16-bit number of entries a loop runs over, and the loop itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace act {

// The leading number of text, read the way Visual Basic's Val reads it:
// blanks, tabs and line breaks anywhere are skipped ("1 2" is 12); then an
// optional sign, digits, a '.' as decimal point whatever the locale and an
// exponent (E or D); "&H" / "&O" give hexadecimal / octal whole numbers
// (16-bit signed when they fit 16 bits, so "&HFFFF" is -1).
// Anything else, and the empty text, gives 0.
double LeadingNumber(std::string_view text);

// LeadingNumber rounded to the nearest whole number, halves to even (2.5 is
// 2, 3.5 is 4), as a 16-bit signed count. Outside -32768..32767 it throws
// act::Error 6 Overflow, whose detail is `what` (the key and file read).
int16_t ToCount(std::string_view text, const std::string& what);

// Runs body(i) for i = 1 .. count in increasing order. The manifest's loops
// keep their counter in 16 bits, so a count of 32767 runs every entry and then
// fails with Overflow as the counter steps past 32767; a count below 1 runs
// nothing.
template <typename Body>
void ForEachEntry(int16_t count, const std::string& what, Body&& body) {
  for (int i = 1; i <= count; ++i) body(i);
  if (count == INT16_MAX) throw Error(kErrOverflow, "entry counter past 32767 in " + what);
}

}  // namespace act
