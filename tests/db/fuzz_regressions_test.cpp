// Replays the inputs the fuzzer once broke the reader with: each must now
// read normally or end in an act::Error.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error.h"
#include "tests/db/host_file.h"
#include "tests/db/read_everything.h"

namespace act::db::testing {
namespace {

TEST(FuzzRegressions, EveryKeptInputEndsCleanly) {
  std::filesystem::path dir = std::filesystem::path(ACT_SOURCE_DIR) / "tests/db/fuzz_regressions";
  size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".mdb") continue;
    SCOPED_TRACE(entry.path().filename().string());
    try {
      ReadEverything(ReadHostFile(entry.path().string()));
    } catch (const act::Error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find("datos.mdb: page ")) << e.what();
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0u);
}

}  // namespace
}  // namespace act::db::testing
