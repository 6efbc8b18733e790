// Executable versions from executables that the real resource compiler and
// linker made (PE32 and PE32+), through the backend of this build, and the
// pure reader's safety on cut and damaged images.
#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/pe_version.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using testing::HostFile;
using testing::TempDrive;

std::string Sample(const char* name) { return HostFile(std::string(ACT_PE_SAMPLES_DIR) + "/" + name); }

class PeVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_.MakeFolders("\\zentaroDeck");
    drive_.fs().CopyFile(Sample("versioned32.exe"), drive_.Path("\\zentaroDeck\\zentaroDeck.exe"), true);
    drive_.fs().CopyFile(Sample("versioned64.exe"), drive_.Path("\\zentaroDeck\\x64.exe"), true);
    drive_.fs().CopyFile(Sample("plain32.exe"), drive_.Path("\\zentaroDeck\\plain.exe"), true);
    image_ = drive_.fs().ReadFileBytes(drive_.Path("\\zentaroDeck\\zentaroDeck.exe"));
  }

  std::string VersionOf(const std::string& relative) { return drive_.fs().GetFileVersion(drive_.Path(relative)); }

  TempDrive drive_;
  std::vector<uint8_t> image_;
};

TEST_F(PeVersionTest, VersionRecordsOfRealExecutables) {
  EXPECT_EQ(VersionOf("\\zentaroDeck\\zentaroDeck.exe"), "23.9.0.28");
  EXPECT_EQ(VersionOf("\\ZENTARODECK\\x64.exe"), "23.9.0.28");
  EXPECT_EQ(VersionOf("\\zentaroDeck\\plain.exe"), "");
}

TEST_F(PeVersionTest, NonExecutablesAndCutFilesHaveNoVersion) {
  drive_.WriteText("\\notes.txt", "MZ but nothing else of an executable");
  EXPECT_EQ(VersionOf("\\notes.txt"), "");
  drive_.WriteText("\\empty.exe", "");
  EXPECT_EQ(VersionOf("\\empty.exe"), "");
  // The version record sits near the end of the image; a cut copy loses it.
  std::vector<uint8_t> half(image_.begin(), image_.begin() + image_.size() / 2);
  drive_.fs().WriteFileBytes(drive_.Path("\\half.exe"), half);
  EXPECT_EQ(VersionOf("\\half.exe"), "");
}

TEST_F(PeVersionTest, MissingFileIsFileNotFound) {
  try {
    VersionOf("\\zentaroDeck\\none.exe");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_NE(std::string(e.what()).find("none.exe"), std::string::npos);
  }
}

TEST_F(PeVersionTest, ReaderSurvivesEveryCutAndRandomDamage) {
  ASSERT_EQ(ReadPeFileVersion(image_), "23.9.0.28");
  // Cut copies answer nothing until the cut passes the version record, and
  // the full version from there on.
  bool answering = false;
  for (size_t length = 0; length < image_.size(); length += 1 + length / 256) {
    std::string version = ReadPeFileVersion(std::span(image_.data(), length));
    if (answering) {
      EXPECT_EQ(version, "23.9.0.28") << length;
    } else {
      EXPECT_TRUE(version.empty() || version == "23.9.0.28") << length;
      answering = !version.empty();
    }
  }
  std::mt19937 random(42);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> damaged = image_;
    for (int hits = 0; hits < 8; ++hits) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    ReadPeFileVersion(damaged);  // must return, whatever it says
  }
  std::vector<uint8_t> junk(4096);
  for (uint8_t& b : junk) b = static_cast<uint8_t>(random());
  junk[0] = 'M', junk[1] = 'Z';
  EXPECT_EQ(ReadPeFileVersion(junk), "");
}

}  // namespace
}  // namespace act
