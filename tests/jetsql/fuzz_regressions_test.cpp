// Replays the SELECT fuzz target's seeds and every input it once found
// faulty (tests/jetsql/fuzz_regressions) on the sample database.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FuzzRegressions, ReplayEveryInput) {
  int replayed = 0;
  for (const char* folder : {"fuzz_corpus", "fuzz_regressions"}) {
    std::filesystem::path dir = std::filesystem::path(ACT_SOURCE_DIR) / "tests/jetsql" / folder;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      std::string data = bytes.str();
      SCOPED_TRACE(entry.path().string());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 6);
}

}  // namespace
