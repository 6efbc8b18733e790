// The Windows shell backend under Wine: the Startup folders as shell32
// gives them, and shortcut targets read by the shell's own link object
// from the samples that Wine's shell saved.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <fstream>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/shell/shell.h"
#include "platform/win32/win32_errors.h"

namespace act {
namespace {

const std::string kSamples = ACT_SOURCE_DIR "/tests/ui/data/lnk";

// The host folder of the samples as a Windows path, through Wine's Z:.
std::string SamplePath(const std::string& name) {
  std::string path = "Z:" + kSamples + "/" + name;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

class Win32Shell : public ::testing::Test {
 protected:
  std::unique_ptr<FileSystem> fs_ = NewPlatformFileSystem();
  std::unique_ptr<Shell> shell_ = NewPlatformShell(*fs_);
};

TEST_F(Win32Shell, StartupFoldersAreTheShellsOwn) {
  for (int csidl : {kCsidlStartup, kCsidlCommonStartup}) {
    wchar_t expected[MAX_PATH] = L"";
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, expected));
    EXPECT_EQ(shell_->SpecialFolderPath(csidl), Narrow(expected)) << csidl;
  }
}

TEST_F(Win32Shell, ReadsTheTargetsOfTheSavedSamples) {
  std::ifstream tsv(kSamples + "/targets.tsv");
  std::string line;
  int rows = 0;
  while (std::getline(tsv, line)) {
    size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos);
    EXPECT_EQ(shell_->ShortcutTarget(SamplePath(line.substr(0, tab))), line.substr(tab + 1)) << line;
    ++rows;
  }
  EXPECT_GE(rows, 8);
}

TEST_F(Win32Shell, MissingShortcutOrFolderGivesTheEmptyTarget) {
  EXPECT_EQ(shell_->ShortcutTarget(SamplePath("no such.lnk")), "");
  EXPECT_EQ(shell_->ShortcutTarget("\\zentaroDeck.lnk"), "");
  EXPECT_EQ(shell_->ShortcutTarget(SamplePath("")), "");  // the samples' folder itself
}

TEST_F(Win32Shell, AFileThatIsNoShortcutIsAnErrorNamingIt) {
  wchar_t temp[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, temp);
  std::string path = Narrow(temp) + "act_garbage.lnk";
  { std::ofstream(path, std::ios::binary) << "this is not a shell link"; }
  try {
    shell_->ShortcutTarget(path);
    ADD_FAILURE() << "garbage accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("act_garbage.lnk"), std::string::npos) << e.what();
  }
  DeleteFileW(Wide(path).c_str());
}

TEST_F(Win32Shell, DrivesAreLowerCaseRootsInOrder) {
  auto drives = shell_->Drives();
  ASSERT_FALSE(drives.empty());
  EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end()));
  EXPECT_NE(std::find(drives.begin(), drives.end(), "c:\\"), drives.end());
  for (const auto& root : drives) EXPECT_TRUE(root.size() == 3 && islower(root[0]) && root.substr(1) == ":\\") << root;
}

}  // namespace
}  // namespace act
