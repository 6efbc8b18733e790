// The two forms in which jetsql prints rows.
//
// CSV is the form mdb-export (mdbtools) prints by default, so that the two
// can be compared with diff: a header of the bare column names; text, memo,
// dates, binary and GUIDs in double quotes with quotes doubled; Null and
// empty values as nothing; booleans 0/1; Single as %.8g, Double as %.16g;
// Currency with four decimals; dates as mm/dd/yy hh:mm:ss (and, as there,
// dates before 1899-12-30 as 01/00/00 00:00:00); GUIDs grouped 8-4-4-16.
//
// JSON is one object per row: Null as null, numbers as numbers, booleans as
// true/false, dates in ISO 8601 (2024-05-01T10:30:00), binary as a string of
// hex digits, GUIDs as their {...} text.
#pragma once

#include <string>
#include <vector>

#include "db/value.h"

namespace act::jetsql {

std::string CsvHeader(const std::vector<std::string>& names);
std::string CsvRow(const std::vector<db::Value>& values);
std::string CsvValue(const db::Value& value);
// The same appended to `out`: a long listing builds no text per value.
void AppendCsvRow(std::string& out, const std::vector<db::Value>& values);
void AppendCsvValue(std::string& out, const db::Value& value);

std::string JsonRow(const std::vector<std::string>& names, const std::vector<db::Value>& values);
std::string JsonValue(const db::Value& value);
std::string JsonString(const std::string& utf8);

// Currency (ten-thousandths) with its four decimals: -12.3400.
std::string CurrencyText(std::int64_t ten_thousandths);

// A Jet date as mdb-export shows it (mm/dd/yy hh:mm:ss, rounded to the
// second; its quirks included, see formats.cpp) and in ISO 8601 (a value
// outside Jet's years 100 to 9999 prints there as the number it is).
std::string MdbExportDate(double jet_date);
std::string IsoDate(double jet_date);

}  // namespace act::jetsql
