// libFuzzer target: opens a database from arbitrary bytes and reads every
// table, row, value and index. Anything but a normal return or an act::Error
// (a crash, a sanitizer report, another exception, a hang) is a finding.
//
// Build: cmake -DACT_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
// Run:   jet_fuzzer -max_len=524288 <work corpus> tests/data/jet/jet3 tests/data/jet/jet4
// Crash inputs go to tests/db/fuzz_regressions/, which db_fuzz_regressions_test
// replays in every build.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/error.h"
#include "tests/db/read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    act::db::testing::ReadEverything(std::vector<uint8_t>(data, data + size));
  } catch (const act::Error&) {
    // Refusing damaged input with an error is the expected outcome.
  }
  return 0;
}
