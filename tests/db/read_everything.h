// Reads every table, row, value and index of a database held in memory, as
// the bad-input tests and the fuzzer need: it either returns normally or
// throws act::Error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace act::db::testing {

struct ReadTotals {
  size_t tables = 0, rows = 0, index_entries = 0;
};

ReadTotals ReadEverything(std::vector<uint8_t> bytes, const std::string& name = "datos.mdb");

}  // namespace act::db::testing
