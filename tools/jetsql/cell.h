// One field value of a result row, as jetsql prints it. The engine's values
// are turned into cells at one place (engine_adapter.cpp), so that the
// output formats depend on nothing but this.
#pragma once

#include <cstdint>
#include <string>

namespace act::jetsql {

// The stored type of the column a cell comes from: it decides the printed
// form (mdb-export prints a Long and a Double differently even when both
// hold 3).
enum class CellType {
  kBoolean, kByte, kShort, kLong, kCurrency, kSingle, kDouble, kDateTime,
  kText, kMemo, kBinary, kLongBinary, kGuid,
};

struct Cell {
  CellType type = CellType::kText;
  bool is_null = true;
  // kBoolean (0 or 1), kByte, kShort, kLong; kCurrency in ten-thousandths.
  std::int64_t integer = 0;
  // kSingle (already widened), kDouble; kDateTime as Jet stores it (days
  // since 1899-12-30, time as the fraction).
  double real = 0;
  // kText, kMemo: UTF-8; kBinary, kLongBinary: the bytes; kGuid: the 16
  // bytes as stored.
  std::string bytes;
};

}  // namespace act::jetsql
