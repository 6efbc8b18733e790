// Replays a fuzz target's seeds and every input it once found faulty
// through the target's own checks, so that CI holds each finding fixed
// without libFuzzer. The folders (relative to the source tree) come in
// ACT_FUZZ_INPUTS, separated by ','.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FuzzRegressions, ReplayEveryInput) {
  int replayed = 0;
  std::string_view folders = ACT_FUZZ_INPUTS;
  while (!folders.empty()) {
    size_t end = folders.find(',');
    std::filesystem::path dir =
        std::filesystem::path(ACT_SOURCE_DIR) / std::string(folders.substr(0, end));
    folders = end == std::string_view::npos ? std::string_view() : folders.substr(end + 1);
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() == ".md") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      std::string data = bytes.str();
      SCOPED_TRACE(entry.path().string());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
      ++replayed;
    }
  }
  EXPECT_GE(replayed, ACT_FUZZ_MIN_INPUTS);
}

}  // namespace
