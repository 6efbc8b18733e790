// Jet date literals (#...#) and Jet's numeric form of a date.
#pragma once

#include <optional>
#include <string_view>

#include "db/sql/ast.h"

namespace act::sql {

// The date and/or time written between the #s of a date literal:
//   2024-05-01   2024/05/01   5/1/2024 (month first, as Jet reads it)
// optionally followed by a time, or a time alone:
//   10:30   10:30:15   10:30 PM   10:30:15 am
// Years are 100 to 9999 and written with four digits (Jet's own range).
// Nothing when the text is none of these or names no real date or time.
std::optional<DateTime> ParseDateLiteral(std::string_view text);

// Jet stores a date as a double: whole days since 1899-12-30, plus the time
// of day as a fraction of a day. Before that day the whole part is negative
// and the fraction still counts forwards in the day, as in OLE dates
// (1899-12-29 06:00 is -1.25).
double ToJetDate(const DateTime& date);

// The calendar date and time of a Jet date, rounded to the second (a time
// that rounds up to midnight moves to the next day). Nothing when the value
// lies outside Jet's range of years 100 to 9999 or is not a number.
std::optional<DateTime> FromJetDate(double jet_date);

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
long long DaysFromCivil(int year, int month, int day);

// Number of days in a month of a year.
int DaysInMonth(int year, int month);

}  // namespace act::sql
