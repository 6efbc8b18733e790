// Long values (memo and OLE columns): a 12-byte header in the row, with the
// data inline after it, in one row of an LVAL page, or in a chain of LVAL
// rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

constexpr uint32_t kLongValueInline = 0x80000000;
constexpr uint32_t kLongValueSingleRow = 0x40000000;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
constexpr size_t kLongValueHeaderSize = 12;

// The whole value behind a long-value field. row_page names the page that
// holds the field, for error reports.
std::string ReadLongValue(Pager& pager, const Format& format, const Page& row_page,
                          std::span<const uint8_t> field);

// The pages of the LVAL rows that hold the value, in chain order (none for
// a value inline in its field).
std::vector<uint32_t> LongValuePages(Pager& pager, const Format& format, const Page& row_page,
                                     std::span<const uint8_t> field);

}  // namespace act::db::jet
