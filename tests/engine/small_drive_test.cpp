// A small drive (a tmpfs of the test's own) and a package of many small
// files, each of which takes a whole block: the bytes fit, the blocks do
// not. The dry run's verdict is the real run's, and a run that cannot fit
// changes nothing.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "cli_fixture.h"
#include "engine/staging_room.h"

namespace act::test {
namespace {

class SmallDrive : public Cli {
 protected:
  void SetUp() override {
    root_ = drives_.ShellRoot(0);
    ASSERT_EQ(mount("tmpfs", root_.c_str(), "tmpfs", 0, "size=4m"), 0)
        << "mount tmpfs on " << root_ << ": " << std::strerror(errno);
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(root_.c_str(), MNT_DETACH);
  }
  void Resize(const char* size) {
    ASSERT_EQ(mount("tmpfs", root_.c_str(), "tmpfs", MS_REMOUNT, size), 0) << std::strerror(errno);
  }
  std::string root_;
  bool mounted_ = false;
};

TEST_F(SmallDrive, TheDryRunSaysWhatTheRealRunDoes) {
  MakeSample("2.0.0.0", "3.0.0.0");
  PutBulkFolder(fs(), origin + "\\zentaroDeck_NEW\\iconos", 1200, 1200 * 64);
  const uint64_t block = fs().AllocationUnit(drive + "\\").value();
  const PathSize package = MeasurePath(fs(), origin + "\\zentaroDeck_NEW", block);
  const uint64_t free = fs().FreeSpace(drive + "\\").value();
  // The premise: the package's bytes fit, its blocks do not.
  ASSERT_LT(package.bytes, free);
  ASSERT_GT(package.room, free);

  const Snapshot before = TakeSnapshot(fs(), drive + "\\");
  const CliResult dry = RunCli(Standard() + " --dry-run");
  const CliResult real = RunCli(Standard());
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(real.status, 1);
  EXPECT_EQ(real.err.rfind("Error 61: Disk full: the update needs ", 0), 0u) << real.err;
  EXPECT_EQ(dry.err, real.err);
  EXPECT_NE(dry.out.find("Resultado: la actualización fallaría: " + real.err), std::string::npos)
      << dry.out;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);

  // With room for its blocks, both go through.
  Resize("size=16m");
  const CliResult dry_fits = RunCli(Standard() + " --dry-run");
  EXPECT_EQ(dry_fits.status, 0) << dry_fits.out << dry_fits.err;
  EXPECT_NE(dry_fits.out.find("Resultado: la actualización se haría"), std::string::npos);
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
  const CliResult fits = RunCli(Standard());
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
}

}  // namespace
}  // namespace act::test
