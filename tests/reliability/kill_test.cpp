// The command-line program killed outright (SIGKILL) at random moments of an
// update, as a crash or a pulled plug would end it without any clean-up.
// After each kill the whole old installation must be found, byte for byte,
// in \zentaroDeck or in its version backup; and the next run must leave
// exactly what a run that was never interrupted leaves: it updates from the
// installation in place, or finishes the swap that the kill stopped half way
// and finds the package installed.
//
// Random moments almost never fall on the swap, whose moves take
// microseconds of a run of a second or more; a second test kills the
// program right before each system call of the swap instead (and before the
// first and last flush), through strace's system-call tampering.
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

#include <algorithm>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
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

  // Starts the program, under `wrapper` (a command and its arguments) when
  // one is given; returns its process id.
  pid_t Start(const std::vector<std::string>& wrapper = {}) {
    std::vector<std::string> args = wrapper;
    for (const std::string& arg : {std::string(ACT_CLI_PATH), std::string("--drive"), drive_.drive(),
                                   std::string("--origin"), drive_.Path("\\media"),
                                   std::string("--prefix"), drive_.prefix()}) {
      args.push_back(arg);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
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

  // The run that is never interrupted: what it leaves.
  void RunReference() {
    ASSERT_EQ(RunToEnd(), 0);
    refs_.new_installation = TreeDigest(root_ / "zentaroDeck");
    support_ = TreeDigest(root_ / "SOPORTE");
    ASSERT_EQ(TreeDigest(root_ / "SOPORTE" / "zentaroDeck_2.0.0.0"), old_installation_);
    Restore();
    ASSERT_EQ(TreeDigest(root_ / "zentaroDeck"), old_installation_);
  }

  enum class Outcome { kInPlace, kBackupOnly, kNewInPlace };
  static const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
      case Outcome::kInPlace: return "installation in place, rerun completed";
      case Outcome::kBackupOnly: return "no \\zentaroDeck, put right by the rerun";
      case Outcome::kNewInPlace: return "new installation in place";
    }
    return "?";
  }

  // The checks after a kill: the whole old installation in one of its two
  // places; the new installation whole where it is, waiting in the staging
  // folder or already in place; and the next run's result. Leaves the drive
  // restored.
  Outcome Judge(Landing& landing, bool& rerun_same) {
    const Digest in_place = TreeDigest(root_ / "zentaroDeck");
    const Digest backed_up = TreeDigest(root_ / "SOPORTE" / "zentaroDeck_2.0.0.0");
    const Digest staging = TreeDigest(root_ / "zentaroDeck_NEW");
    landing = LandingOf(refs_, in_place, staging);
    rerun_same = false;
    const Digest staged = refs_.Staged();
    Digest without_first = staged;  // after the first manifest delete
    without_first.erase("actualizador.ini");
    EXPECT_TRUE(in_place == old_installation_ || backed_up == old_installation_)
        << "the old installation is whole in neither place (" << LandingName(landing) << ")";
    Outcome outcome = Outcome::kInPlace;
    if (in_place.count("<absent>")) {
      // Between the backup and the promotion: the new installation waits
      // whole in the staging folder.
      outcome = Outcome::kBackupOnly;
      EXPECT_EQ(staging, staged);
    } else if (in_place != old_installation_) {
      // The kill came after the promotion.
      outcome = Outcome::kNewInPlace;
      EXPECT_TRUE(backed_up == old_installation_);
      EXPECT_TRUE(in_place == staged || in_place == without_first ||
                  in_place == refs_.new_installation);
    }
    // The next run updates from the installation in place, or puts the
    // drive right and then finds the package installed (status 2).
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(RunToEnd(), outcome == Outcome::kInPlace ? 0 : 2) << LandingName(landing);
    if (outcome == Outcome::kInPlace) last_rerun_ = Clock::now() - start;
    const Digest after = TreeDigest(root_ / "zentaroDeck");
    EXPECT_EQ(TreeDigest(root_ / "SOPORTE" / "zentaroDeck_2.0.0.0"), old_installation_);
    rerun_same = after == refs_.new_installation && TreeDigest(root_ / "SOPORTE") == support_ &&
                 !stdfs::exists(root_ / "zentaroDeck_NEW");
    // Killed while it deleted the manifest files, once the swap was over and
    // its note gone, the run leaves a working installation holding one of
    // them, which the next run, finding the package installed, leaves so.
    const bool manifest_left = outcome == Outcome::kNewInPlace && in_place == after &&
                               (after == staged || after == without_first);
    EXPECT_TRUE(rerun_same || manifest_left)
        << "the rerun after a kill in " << LandingName(landing)
        << " left another result than an uninterrupted run";
    Restore();
    return outcome;
  }

  act::testing::TempDrive drive_;
  stdfs::path root_;
  Digest old_installation_;
  Digest support_;  // \SOPORTE after an uninterrupted run
  Clock::duration last_rerun_ = Clock::duration::max();  // length of the last rerun
  RunReferences refs_;
};

// What the kills that landed in one step of the run left.
struct LandingCount {
  int kills = 0, in_place = 0, backup_only = 0, new_in_place = 0, reruns_same = 0;
};

TEST_F(KillTest, KilledAtRandomMomentsTheOldInstallationSurvivesAndARerunCompletes) {
  RunReference();
  if (HasFatalFailure()) return;
  // The first runs read the package cold and wait for the write-back of the
  // drive just made, so they take several times as long as the runs the
  // kills interrupt: the shortest of three warm runs is the span the kill
  // moments are drawn over.
  Clock::duration full_run = Clock::duration::max();
  for (int warm = 0; warm < 3; ++warm) {
    Clock::time_point start = Clock::now();
    ASSERT_EQ(RunToEnd(), 0);
    full_run = std::min(full_run, Clock::now() - start);
    Restore();
  }

  const long trials = EnvNumber("ACT_KILL_TRIALS", 50);
  const unsigned seed = static_cast<unsigned>(
      EnvNumber("ACT_KILL_SEED", static_cast<long>(Clock::now().time_since_epoch().count() & 0xFFFFFF)));
  std::mt19937 random(seed);

  int killed = 0, finished = 0, reruns = 0, backup_only = 0;
  LandingCount landings[kLandings];
  Clock::time_point trials_start = Clock::now();
  for (long t = 0; t < trials; ++t) {
    // A rerun is a whole run too: when the machine is less loaded than
    // while the warm runs were timed, the span shrinks with it.
    full_run = std::min(full_run, last_rerun_);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(full_run);
    std::uniform_int_distribution<long> moment(0, static_cast<long>(span.count() * 11 / 10));
    const long after_us = moment(random);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(t) + ", kill after " +
                 std::to_string(after_us) + " us");
    pid_t pid = Start();
    std::this_thread::sleep_for(std::chrono::microseconds(after_us));
    kill(pid, SIGKILL);
    const bool was_killed = Wait(pid) == -1;
    if (was_killed) ++killed;
    else ++finished;

    Landing landing;
    bool rerun_same = false;
    const Outcome outcome = Judge(landing, rerun_same);
    LandingCount& count = landings[static_cast<int>(landing)];
    if (was_killed) ++count.kills;
    switch (outcome) {
      case Outcome::kInPlace: ++count.in_place, ++reruns; break;
      case Outcome::kBackupOnly: ++count.backup_only, ++backup_only; break;
      case Outcome::kNewInPlace: ++count.new_in_place; break;
    }
    if (rerun_same) ++count.reruns_same;
    std::printf("[trial %ld] kill after %ld us%s, in %s: %s\n", t, after_us,
                was_killed ? "" : " (run had ended)", LandingName(landing), OutcomeName(outcome));
    std::fflush(stdout);
    if (HasFailure()) return;
  }
  const auto trials_time = Clock::now() - trials_start;
  std::printf("[figures] seed %u, shortest full run %lld ms, %ld trials in %lld s: %d killed, %d finished first, "
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

// One system call of an uninterrupted run as strace wrote it, and which of
// the calls of that name it was (from 1).
struct Call {
  std::string name, line;
  int nth = 0;
};

// The calls that change the drive or make it durable, in order.
std::vector<Call> TracedCalls(const std::string& log) {
  std::ifstream in(log);
  std::map<std::string, int> seen;
  std::vector<Call> calls;
  for (std::string line; std::getline(in, line);) {
    const size_t paren = line.find('(');
    if (paren == std::string::npos || line.starts_with("+++") || line.starts_with("---")) continue;
    Call call{line.substr(0, paren), line, 0};
    call.nth = ++seen[call.name];
    calls.push_back(call);
  }
  return calls;
}

// The two paths a traced rename names, and the folder a traced sync of a
// descriptor reached (strace -y writes it after the descriptor).
std::vector<std::string> QuotedPaths(const std::string& line) {
  std::vector<std::string> paths;
  for (size_t open = line.find('"'); open != std::string::npos && paths.size() < 2;
       open = line.find('"', line.find('"', open + 1) + 1)) {
    paths.push_back(line.substr(open + 1, line.find('"', open + 1) - open - 1));
  }
  return paths;
}
std::string SyncedPath(const std::string& line) {
  const size_t open = line.find('<');
  return open == std::string::npos ? "" : line.substr(open + 1, line.find('>', open) - open - 1);
}

constexpr const char* kStrace = "/usr/bin/strace";
constexpr const char* kTracedCalls =
    "trace=rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,fsync,fdatasync";

TEST_F(KillTest, KilledRightBeforeEachSystemCallOfTheSwap) {
  // strace needs ptrace, which some containers forbid: only then is the
  // aimed test left out.
  ASSERT_EQ(access(kStrace, X_OK), 0) << kStrace << " is missing: scripts/install-deps.sh installs it";
  if (std::system((std::string(kStrace) + " -qq -o /dev/null /bin/true").c_str()) != 0) {
    GTEST_SKIP() << kStrace << " cannot trace here";
  }
  RunReference();
  if (HasFatalFailure()) return;

  const std::string log = (root_.parent_path() / "calls.log").string();
  ASSERT_EQ(Wait(Start({kStrace, "-qq", "-y", "-s", "4096", "-o", log, "-e", kTracedCalls})), 0);
  const std::vector<Call> calls = TracedCalls(log);

  // Each rename is followed, before anything else changes the drive, by a
  // sync of the folder it left and of the folder it entered: a power cut
  // right after the swap must not bring the old names back.
  int renames = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (!calls[i].name.starts_with("rename")) continue;
    ++renames;
    std::set<std::string> unsynced;
    for (const std::string& path : QuotedPaths(calls[i].line)) {
      unsynced.insert(stdfs::weakly_canonical(stdfs::path(path).parent_path()).string());
    }
    for (size_t j = i + 1; j < calls.size() && calls[j].name == "fsync"; ++j) {
      unsynced.erase(SyncedPath(calls[j].line));
    }
    EXPECT_TRUE(unsynced.empty()) << calls[i].line << " is not followed by a sync of "
                                  << *unsynced.begin();
  }
  EXPECT_EQ(renames, 4) << "datos.new, the swap's note, the backup and the promotion";
  Restore();

  // The flush of the staging folder ends with the last sync before the
  // first rename (of datos.new).
  size_t first_sync = calls.size(), last_sync = calls.size();
  for (size_t i = 0; i < calls.size() && !calls[i].name.starts_with("rename"); ++i) {
    if (calls[i].name != "fsync") continue;
    if (first_sync == calls.size()) first_sync = i;
    last_sync = i;
  }
  ASSERT_LT(last_sync, calls.size()) << "the run flushed nothing before its first rename";

  // The first sync (the database's own), then the last sync of the flush
  // and every call after it: the swap, with the syncs after its renames.
  std::vector<size_t> aims = {first_sync};
  for (size_t i = std::max(last_sync, first_sync + 1); i < calls.size(); ++i) aims.push_back(i);
  int in_place = 0, backup_only = 0, new_in_place = 0, reruns_same = 0;
  for (size_t i : aims) {
    const Call& call = calls[i];
    SCOPED_TRACE("killed before " + call.line);
    const std::string inject = "inject=" + call.name + ":signal=KILL:when=" + std::to_string(call.nth);
    const std::vector<std::string> strace = {kStrace, "-qq", "-o", "/dev/null", "-e",
                                             "trace=" + call.name, "-e", inject};
    EXPECT_EQ(Wait(Start(strace)), -1) << "the run was not killed";
    Landing landing;
    bool rerun_same = false;
    const Outcome outcome = Judge(landing, rerun_same);
    // Every aim from the last sync on falls on the flush or the swap.
    if (i >= last_sync) {
      EXPECT_GE(static_cast<int>(landing), static_cast<int>(Landing::kFlush));
    }
    in_place += outcome == Outcome::kInPlace;
    backup_only += outcome == Outcome::kBackupOnly;
    new_in_place += outcome == Outcome::kNewInPlace;
    reruns_same += rerun_same;
    std::printf("[aimed] before %s #%d: %s, in %s: %s\n", call.name.c_str(), call.nth,
                call.line.substr(0, call.line.find(" = ")).c_str(), LandingName(landing),
                OutcomeName(outcome));
    std::fflush(stdout);
    if (HasFailure()) return;
  }
  std::printf("[figures] %zu traced calls, %zu aimed kills: %d installation in place, %d backup only, "
              "%d new installation in place, %d reruns with the uninterrupted result\n",
              calls.size(), aims.size(), in_place, backup_only, new_in_place, reruns_same);
  // The swap's three moves each change where the installation is.
  EXPECT_GT(in_place, 0);
  EXPECT_GT(backup_only, 0);
  EXPECT_GT(new_in_place, 0);
}

}  // namespace
}  // namespace act::test
