// The posix shell and the discovery on a Wine-style prefix: the Shell
// Folders keys as Wine saved them (data/prefix), the drive mapping of the
// posix file-system service, and shortcuts saved by Wine's shell
// (data/lnk) placed in the Startup folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/shell/shell.h"
#include "tests/ui/discovery_fakes.h"
#include "ui/discovery/drive_discovery.h"

namespace act {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(ACT_SOURCE_DIR) / "tests/ui/data";
const char* const kUserStartup = "users/root/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp";
const char* const kCommonStartup = "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp";

class PrefixShell : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = fs::temp_directory_path() /
              ("act_prefix_shell_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(prefix_);
    fs::create_directories(prefix_ / "dosdevices");
    fs::create_directories(prefix_ / "drive_c" / kUserStartup);
    fs::create_directories(prefix_ / "drive_c" / kCommonStartup);
    fs::create_directories(prefix_ / "drive_d");
    fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices/c:");
    fs::create_directory_symlink("../drive_d", prefix_ / "dosdevices/d:");
    fs::copy_file(kData / "prefix/user.reg", prefix_ / "user.reg");
    fs::copy_file(kData / "prefix/system.reg", prefix_ / "system.reg");
    files_ = NewPlatformFileSystem(prefix_.string());
    shell_ = NewPlatformShell(*files_, prefix_.string());
  }
  void TearDown() override { fs::remove_all(prefix_); }

  // Puts a sample shortcut saved by Wine's shell into a Startup folder.
  void Place(const char* folder, const std::string& name, const std::string& sample) {
    fs::copy_file(kData / "lnk" / sample, prefix_ / "drive_c" / folder / name,
                  fs::copy_options::overwrite_existing);
  }
  std::string Discover() {
    buscaUnidadPrograma(*shell_, boxes_, drives_);
    return drives_.set.empty() ? "<none>" : drives_.set.back();
  }

  fs::path prefix_;
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<Shell> shell_;
  RecordingBoxes boxes_;
  RecordingDriveList drives_;
};

TEST_F(PrefixShell, StartupFoldersComeFromThePrefixRegistry) {
  EXPECT_EQ(shell_->SpecialFolderPath(kCsidlStartup),
            "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
  EXPECT_EQ(shell_->SpecialFolderPath(kCsidlCommonStartup),
            "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
  EXPECT_EQ(shell_->SpecialFolderPath(5), "");
}

TEST_F(PrefixShell, FolderPathsPassThroughTheAnsiCodePage) {
  // Wine writes characters beyond ASCII as \x escapes of UTF-16 units.
  std::ofstream(prefix_ / "user.reg")
      << "WINE REGISTRY Version 2\n\n"
         "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
         "\"Startup\"=\"C:\\\\users\\\\Jos\\xe9\\\\\\x4e2d\\\\Inicio\"\n";
  EXPECT_EQ(shell_->SpecialFolderPath(kCsidlStartup), "C:\\users\\Jos\xC3\xA9\\?\\Inicio");
}

TEST_F(PrefixShell, MissingRegistryFilesGiveEmptyFolders) {
  fs::remove(prefix_ / "user.reg");
  EXPECT_EQ(shell_->SpecialFolderPath(kCsidlStartup), "");
  EXPECT_NE(shell_->SpecialFolderPath(kCsidlCommonStartup), "");
}

TEST_F(PrefixShell, DrivesAreThePrefixsMappedLetters) {
  EXPECT_EQ(shell_->Drives(), (std::vector<std::string>{"c:\\", "d:\\"}));
}

TEST_F(PrefixShell, ReadsTheTargetOfAShortcutByItsWindowsPath) {
  Place(kUserStartup, "zentaroDeck.lnk", "other-drive.lnk");
  EXPECT_EQ(shell_->ShortcutTarget(
                "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\zentaroDeck.lnk"),
            "D:\\zentaroDeck\\zentaroDeck.exe");
  EXPECT_EQ(shell_->ShortcutTarget("C:\\nothing\\here.lnk"), "");
}

TEST_F(PrefixShell, AllUsersNameWithoutBlankIsStrongest) {
  Place(kUserStartup, "zentaro Deck.lnk", "local.lnk");        // C:
  Place(kUserStartup, "zentaroDeck.lnk", "lower.lnk");         // c:
  Place(kCommonStartup, "zentaro Deck.lnk", "other-drive.lnk");  // D:
  EXPECT_EQ(Discover(), "D:");
  Place(kCommonStartup, "zentaroDeck.lnk", "root.lnk");         // E:
  EXPECT_EQ(Discover(), "E:");
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(PrefixShell, WithinTheUsersFolderTheNameWithoutBlankWins) {
  Place(kUserStartup, "zentaro Deck.lnk", "other-drive.lnk");
  Place(kUserStartup, "zentaroDeck.lnk", "lower.lnk");
  EXPECT_EQ(Discover(), "c:");
}

TEST_F(PrefixShell, EmptyTargetsAndNetworkTargets) {
  Place(kUserStartup, "zentaroDeck.lnk", "other-drive.lnk");
  Place(kCommonStartup, "zentaroDeck.lnk", "empty.lnk");
  EXPECT_EQ(Discover(), "D:");
  Place(kCommonStartup, "zentaro Deck.lnk", "network.lnk");
  EXPECT_EQ(Discover(), "\\\\");
}

TEST_F(PrefixShell, NoShortcutAtAllWarnsAndHandsOnTheEmptyDrive) {
  Place(kCommonStartup, "zentaroDeck.lnk", "empty.lnk");
  EXPECT_EQ(Discover(), "");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, kNoShortcutWarning);
}

TEST_F(PrefixShell, AGarbageShortcutIsAnErrorNamingIt) {
  std::ofstream(prefix_ / "drive_c" / kCommonStartup / "zentaroDeck.lnk") << "not a link";
  try {
    Discover();
    FAIL() << "garbage shortcut accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("StartUp\\zentaroDeck.lnk"), std::string::npos) << e.what();
  }
}

// actualizador-cli without --drive: the same discovery on the same prefix.
struct CliResult {
  int status;
  std::string out;
  std::string err;
};

CliResult RunCli(const fs::path& prefix, const std::string& origin) {
  fs::path out = prefix / "cli.out", err = prefix / "cli.err";
  std::string command = std::string("'") + ACT_CLI_EXE + "' --prefix '" + prefix.string() +
                        "' --origin '" + origin + "' >'" + out.string() + "' 2>'" + err.string() + "'";
  int status = std::system(command.c_str());
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

TEST_F(PrefixShell, CliWithoutShortcutPrintsTheWarningAndEndsWithStatus1) {
  CliResult result = RunCli(prefix_, "c:\\upd");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, std::string(kNoShortcutWarning) + "\n");
  EXPECT_NE(result.err.find("Error 68"), std::string::npos) << result.err;
}

TEST_F(PrefixShell, CliUpdatesTheDriveOfTheShortcut) {
  Place(kCommonStartup, "zentaroDeck.lnk", "other-drive.lnk");  // D:
  fs::create_directories(prefix_ / "drive_c/upd/zentaroDeck_NEW");
  std::ofstream(prefix_ / "drive_c/upd/zentaroDeck_NEW/leeme.txt") << "paquete";
  CliResult result = RunCli(prefix_, "c:\\upd");
  // The package reached the discovered drive; the run then stops at the
  // missing installation there.
  EXPECT_TRUE(fs::exists(prefix_ / "drive_d/zentaroDeck_NEW/leeme.txt"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("D:\\zentaroDeck\\zentaroDeck.exe"), std::string::npos) << result.err;
}

// The registry of the Wine prefix on this machine, when there is one.
TEST(RealPrefix, NamesBothStartupFolders) {
  const char* prefix = std::getenv("WINEPREFIX");
  if (!prefix || !fs::exists(fs::path(prefix) / "system.reg")) GTEST_SKIP() << "no Wine prefix";
  auto files = NewPlatformFileSystem(prefix);
  auto shell = NewPlatformShell(*files, prefix);
  EXPECT_EQ(shell->SpecialFolderPath(kCsidlStartup).rfind("C:\\users\\", 0), 0u);
  EXPECT_EQ(shell->SpecialFolderPath(kCsidlCommonStartup).rfind("C:\\", 0), 0u);
}

}  // namespace
}  // namespace act
