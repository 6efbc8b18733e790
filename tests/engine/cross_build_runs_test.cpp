// The posix program and the Windows one under Wine started together on one
// drive of one Wine prefix: the drive's lock holds between them too (the
// posix build's lock on the lock file's first byte and the record lock
// wineserver places for LockFileEx conflict), so exactly one updates.
//
// By hand, since it needs both builds: ACT_WINDOWS_CLI names the Windows
// actualizador-cli.exe; the test maps two free letters of the Wine prefix
// (WINEPREFIX, else ~/.wine) to its drives for as long as it runs.
//   ACT_WINDOWS_CLI=build/win32/ui/cli/actualizador-cli.exe \
//     build/native/tests/engine/engine_cli_test --gtest_filter='*BothBuilds*'
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli_fixture.h"
#include "engine/drive_lock.h"

namespace act::test {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(Cli, BothBuildsStartedTogetherLetExactlyOneUpdate) {
  const char* windows_cli = std::getenv("ACT_WINDOWS_CLI");
  if (!windows_cli || !*windows_cli) GTEST_SKIP() << "set ACT_WINDOWS_CLI to the Windows actualizador-cli.exe";
  const char* prefix_env = std::getenv("WINEPREFIX");
  const std::string prefix = prefix_env ? prefix_env : std::string(std::getenv("HOME")) + "/.wine";
  // Two letters the prefix does not map yet, for the target and the package.
  std::vector<std::string> letters;
  for (char c = 'm'; c <= 'y' && letters.size() < 2; ++c)
    if (access((prefix + "/dosdevices/" + c + ":").c_str(), F_OK) != 0) letters.push_back(std::string(1, c) + ":");
  ASSERT_EQ(letters.size(), 2u);
  const std::string target = prefix + "/dosdevices/" + letters[0], disc = prefix + "/dosdevices/" + letters[1];
  ASSERT_EQ(symlink(drives_.ShellRoot(0).c_str(), target.c_str()), 0);
  ASSERT_EQ(symlink(drives_.ShellRoot(1).c_str(), disc.c_str()), 0);
  struct Unmap {
    std::string a, b;
    ~Unmap() { unlink(a.c_str()), unlink(b.c_str()); }
  } unmap{target, disc};

  MakeSample("2.0.0.0", "3.0.0.0", 2000);
  PutBulkFolder(fs(), origin + "\\zentaroDeck_NEW\\musica", 40, 16 << 20);
  const Snapshot old = TakeSnapshot(fs(), Installed(""));
  const std::string arguments = " --drive " + letters[0] + " --origin '" + letters[1] + "\\disco'";
  const std::string busy = DriveBusyRefusal(letters[0]);
  const std::string out = drives_.ShellRoot(2) + "/ambos";
  const int rounds = 24;
  int windows_busy = 0, posix_busy = 0;
  for (int round = 0; round < rounds; ++round) {
    // Wine takes longer to start: the posix run follows it after 0 to 175 ms,
    // so that either may be the first to hold the drive.
    const int delay = 25 * (round % 8);
    SCOPED_TRACE("round " + std::to_string(round) + ", posix run " + std::to_string(delay) + " ms later");
    intptr_t windows = StartShellCommand("WINEDEBUG=-all wine '" + std::string(windows_cli) + "'" +
                                         arguments + " >" + out + "-w 2>&1");
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    intptr_t posix = StartShellCommand("'" + std::string(ACT_CLI_PATH) + "'" + arguments + " --prefix '" +
                                       prefix + "' >" + out + "-p 2>&1");
    const int windows_status = WaitShellCommand(windows), posix_status = WaitShellCommand(posix);
    const std::string windows_said = FileText(out + "-w"), posix_said = FileText(out + "-p");
    EXPECT_EQ((windows_status == 0) + (posix_status == 0), 1) << windows_said << posix_said;
    for (const auto& [status, said] : {std::pair{windows_status, windows_said}, {posix_status, posix_said}})
      if (status != 0)
        EXPECT_TRUE(status == 2 && (said.starts_with(busy) ||
                                    said.starts_with("Advertencia!: La Versión Ya Esta Actualizada")))
            << said;
    windows_busy += windows_said.starts_with(busy);
    posix_busy += posix_said.starts_with(busy);
    EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
    EXPECT_EQ(TakeSnapshot(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0"), old);
    EXPECT_FALSE(fs().FolderExists(Staged("")));
    if (HasFailure()) return;
    fs().DeleteFolder(Installed(""), true);
    fs().MoveFolder(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0", Installed(""));
    fs().DeleteFolder(drive + "\\SOPORTE", true);
  }
  std::printf("[figures] %d rounds of a Windows and a posix run: the Windows run refused while the posix "
              "one held the drive %d times, the posix run %d times\n",
              rounds, windows_busy, posix_busy);
  EXPECT_GT(windows_busy, 0);
  EXPECT_GT(posix_busy, 0);
}

}  // namespace
}  // namespace act::test
