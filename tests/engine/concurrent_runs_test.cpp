// Runs started together on one drive, as two windows, two scripts or one of
// each would start them: exactly one updates, and every other one refuses,
// at once while the first holds the drive, or as up to date once it is
// done, leaving nothing changed.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/drive_lock.h"
#include "cli_fixture.h"

namespace act::test {
namespace {

TEST_F(Cli, RunsStartedTogetherOnOneDriveLetExactlyOneUpdate) {
  MakeSample("2.0.0.0", "3.0.0.0", 2000);
  // Enough to copy that the runs overlap.
  PutBulkFolder(fs(), origin + "\\zentaroDeck_NEW\\musica", 40, 8 << 20);
  const Snapshot old = TakeSnapshot(fs(), Installed(""));
  const std::string busy = DriveBusyRefusal(drive) + "\n";
  const std::string up_to_date = "Advertencia!: La Versión Ya Esta Actualizada\n";
  const int rounds = 12;
  int runs = 0, refused_busy = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<Started> started;
    for (int n = 0; n < 2 + round % 2; ++n) started.push_back(Start(Standard()));
    int completed = 0;
    for (const Started& s : started) {
      const CliResult r = Finish(s);
      ++runs;
      if (r.status == 0) {
        ++completed;
        EXPECT_EQ(r.out, "Fin De La actualización\n");
      } else {
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_TRUE(r.out == busy || r.out == up_to_date) << r.out << r.err;
        refused_busy += r.out == busy;
      }
    }
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
    EXPECT_EQ(TakeSnapshot(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0"), old);
    EXPECT_EQ(fs().ListFolder(drive + "\\SOPORTE"), std::vector<std::string>{"zentaroDeck_2.0.0.0"});
    EXPECT_FALSE(fs().FolderExists(Staged("")));
    if (HasFailure()) return;
    fs().DeleteFolder(Installed(""), true);
    fs().MoveFolder(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0", Installed(""));
    fs().DeleteFolder(drive + "\\SOPORTE", true);
  }
  std::printf("[figures] %d rounds, %d runs started in twos and threes: %d updated, %d refused while "
              "another held the drive, %d refused as up to date\n",
              rounds, runs, rounds, refused_busy, runs - rounds - refused_busy);
  // Started together, most of them meet a run under way.
  EXPECT_GT(refused_busy, 0);
}

}  // namespace
}  // namespace act::test
