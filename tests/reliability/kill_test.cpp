// The command-line program killed outright (SIGKILL) at random moments of an
// update, as a crash or a pulled plug would end it without any clean-up.
// After each kill the whole old installation must be found, byte for byte,
// in \zentaroDeck or in its version backup; and when it is still in
// \zentaroDeck, a second run must complete and leave exactly what a run that
// was never interrupted leaves.
//
// The size of the update and the number of kills come from the environment,
// so that CI runs a small update and the large one runs by hand:
//   ACT_KILL_TRIALS    kills to make (default 50)
//   ACT_KILL_MB        megabytes of media in the package (default 4)
//   ACT_KILL_SONGS     songs in the installed database (default 2000)
//   ACT_KILL_SEED      seed of the kill moments (default: from the clock)
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "tests/reliability/kill_landing.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

extern char** environ;

namespace act::test {
namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

class KillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FileSystem& fs = drive_.fs();
    SampleOptions sample;
    sample.skin_files = 20;
    sample.photo_files = 50;
    sample.media_bytes = 20000;
    const std::string origin = drive_.Path("\\media");
    MakeFolders(fs, origin);
    PutInstallation(fs, drive_.drive(), VersionedExe(fs, ACT_TEST_EXE_DIR, "2.0.0.0"), sample);
    PutPackage(fs, origin, VersionedExe(fs, ACT_TEST_EXE_DIR, "2.5.0.0"), sample);

    const uint64_t mb = 1 << 20;
    const long package_mb = EnvNumber("ACT_KILL_MB", 4);
    PutBulkFolder(fs, origin + "\\zentaroDeck_NEW\\musica", static_cast<int>(package_mb * 4),
                  package_mb * mb);
    PutBulkFolder(fs, drive_.Path("\\zentaroDeck\\musica"), static_cast<int>(package_mb * 2),
                  package_mb * mb / 2);
    // Real zentaroDeck databases, so that the run carries rows through the
    // Jet engine while it is killed: the installed one is the customer's
    // data that must survive every kill byte for byte.
    const std::string installed = drive_.Path("\\zentaroDeck\\datos.mdb");
    const std::string packaged = origin + "\\zentaroDeck_NEW\\datos.new";
    fs.DeleteFile(installed, true);
    fs.DeleteFile(packaged, true);
    act::test::WriteCarryOverDatabase(fs, installed,
                                      act::test::InstalledContent(EnvNumber("ACT_KILL_SONGS", 2000)));
    act::test::WriteCarryOverDatabase(fs, packaged, act::test::PackageContent());

    root_ = drive_.root();
    old_installation_ = TreeDigest(root_ / "zentaroDeck");
    refs_.old_installation = old_installation_;
    refs_.package = TreeDigest(root_ / "media" / "zentaroDeck_NEW");
  }

  // Starts the program; returns its process id.
  pid_t Start() {
    std::vector<std::string> args = {ACT_CLI_PATH, "--drive", drive_.drive(), "--origin",
                                     drive_.Path("\\media"), "--prefix", drive_.prefix()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, ACT_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + std::string(ACT_CLI_PATH));
    return pid;
  }

  // Exit status of a finished run, or -1 when it was killed.
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int RunToEnd() { return Wait(Start()); }

  // Puts the drive back as it was before any run. The old installation is
  // only ever moved, never written, so it is moved back from wherever it is.
  void Restore() {
    const stdfs::path backup = root_ / "SOPORTE" / "zentaroDeck_2.0.0.0";
    stdfs::remove_all(root_ / "zentaroDeck_NEW");
    if (TreeDigest(root_ / "zentaroDeck") != old_installation_) {
      stdfs::remove_all(root_ / "zentaroDeck");
      stdfs::rename(backup, root_ / "zentaroDeck");
    }
    stdfs::remove_all(root_ / "SOPORTE");
  }

  act::testing::TempDrive drive_;
  stdfs::path root_;
  Digest old_installation_;
  RunReferences refs_;
};

// What the kills that landed in one step of the run left.
struct LandingCount {
  int kills = 0, in_place = 0, backup_only = 0, new_in_place = 0, reruns_same = 0;
};

TEST_F(KillTest, KilledAtRandomMomentsTheOldInstallationSurvivesAndARerunCompletes) {
  // The run that is never interrupted: its result, and its length once the
  // package is in the cache (the first run reads it cold and is slower than
  // the runs the kills interrupt).
  ASSERT_EQ(RunToEnd(), 0);
  const Digest installation = TreeDigest(root_ / "zentaroDeck");
  const Digest support = TreeDigest(root_ / "SOPORTE");
  ASSERT_EQ(TreeDigest(root_ / "SOPORTE" / "zentaroDeck_2.0.0.0"), old_installation_);
  refs_.new_installation = installation;
  Restore();
  ASSERT_EQ(TreeDigest(root_ / "zentaroDeck"), old_installation_);
  Clock::time_point start = Clock::now();
  ASSERT_EQ(RunToEnd(), 0);
  const auto full_run = Clock::now() - start;
  Restore();

  // The new installation as the promotion finds it, and as each manifest
  // delete leaves it.
  const Digest staged = refs_.Staged();
  Digest without_first = staged;
  without_first.erase("actualizador.ini");

  const long trials = EnvNumber("ACT_KILL_TRIALS", 50);
  const unsigned seed = static_cast<unsigned>(
      EnvNumber("ACT_KILL_SEED", static_cast<long>(Clock::now().time_since_epoch().count() & 0xFFFFFF)));
  std::mt19937 random(seed);
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(full_run);
  std::uniform_int_distribution<long> moment(0, static_cast<long>(span.count() * 11 / 10));

  int killed = 0, finished = 0, reruns = 0, backup_only = 0;
  LandingCount landings[kLandings];
  Clock::time_point trials_start = Clock::now();
  for (long t = 0; t < trials; ++t) {
    const long after_us = moment(random);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(t) + ", kill after " +
                 std::to_string(after_us) + " us");
    pid_t pid = Start();
    std::this_thread::sleep_for(std::chrono::microseconds(after_us));
    kill(pid, SIGKILL);
    const bool was_killed = Wait(pid) == -1;
    if (was_killed) ++killed;
    else ++finished;

    const Digest in_place = TreeDigest(root_ / "zentaroDeck");
    const Digest backed_up = TreeDigest(root_ / "SOPORTE" / "zentaroDeck_2.0.0.0");
    const Digest staging = TreeDigest(root_ / "zentaroDeck_NEW");
    const Landing landing = LandingOf(refs_, in_place, staging);
    LandingCount& count = landings[static_cast<int>(landing)];
    if (was_killed) ++count.kills;
    ASSERT_TRUE(in_place == old_installation_ || backed_up == old_installation_)
        << "the old installation is whole in neither place (" << LandingName(landing) << ")";
    if (in_place == old_installation_) {
      ++count.in_place;
      ASSERT_EQ(RunToEnd(), 0) << LandingName(landing);
      const bool same = TreeDigest(root_ / "zentaroDeck") == installation &&
                        TreeDigest(root_ / "SOPORTE") == support &&
                        !stdfs::exists(root_ / "zentaroDeck_NEW");
      EXPECT_TRUE(same) << "the rerun after a kill in " << LandingName(landing)
                        << " left another result than an uninterrupted run";
      if (same) ++count.reruns_same;
      ++reruns;
    } else if (in_place.count("<absent>")) {
      // Between the backup and the promotion: no rerun by design, and the
      // new installation waits whole in the staging folder.
      ++count.backup_only;
      ++backup_only;
      EXPECT_EQ(staging, staged);
    } else {
      // The new installation is in place: the kill came after the promotion.
      ++count.new_in_place;
      EXPECT_TRUE(backed_up == old_installation_);
      EXPECT_TRUE(in_place == staged || in_place == without_first || in_place == installation);
    }
    Restore();
    std::printf("[trial %ld] kill after %ld us%s, in %s: %s\n", t, after_us,
                was_killed ? "" : " (run had ended)", LandingName(landing),
                in_place == old_installation_ ? "installation in place, rerun completed"
                : in_place.count("<absent>")  ? "old installation in the backup only"
                                              : "new installation in place");
    std::fflush(stdout);
  }
  const auto trials_time = Clock::now() - trials_start;
  std::printf("[figures] seed %u, full run %lld ms, %ld trials in %lld s: %d killed, %d finished first, "
              "%d reruns completed, %d left between backup and promotion\n",
              seed,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(full_run).count()),
              trials,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(trials_time).count()),
              killed, finished, reruns, backup_only);
  std::printf("[landings] step: kills, old installation in \\zentaroDeck, in the backup only, "
              "new installation in place, reruns with the uninterrupted result\n");
  for (int i = 0; i < kLandings; ++i) {
    const LandingCount& c = landings[i];
    if (c.kills + c.in_place + c.backup_only + c.new_in_place == 0) continue;
    std::printf("[landings] %s: %d, %d, %d, %d, %d\n", LandingName(static_cast<Landing>(i)), c.kills,
                c.in_place, c.backup_only, c.new_in_place, c.reruns_same);
  }
  EXPECT_GT(killed, 0);
}

}  // namespace
}  // namespace act::test
