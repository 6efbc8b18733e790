// The run has no rollback, so its safety rests on three promises: the
// installed data is never changed; at every moment the whole old
// installation exists, complete, either in \zentaroDeck or in its version
// backup; and whatever stops a run, the next run leaves \zentaroDeck holding
// an installation, finishing a swap that was stopped half way. These tests
// break a realistic update at every one of its file-system operations in
// turn, with a plain error, by stopping the machine dead there, and by a
// power cut, and check the promises, the state the drive is left in, and
// that the next run gives the normal result.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/error.h"
#include "platform/fault/fault_file_system.h"
#include "tests/reliability/run_drive.h"

namespace act::test {
namespace {

// Where an operation falls in the run, as the table of the drive's state
// after a failure distinguishes: staging, the steps up to the swap, and
// each move of the swap.
enum class Step {
  kStaging, kBeforeSwap, kRename, kSupport, kBackup, kUnversioned,
  kNote, kMoveOut, kPromote, kEndNote, kManifests
};

const char* StepName(Step step) {
  switch (step) {
    case Step::kStaging: return "staging";
    case Step::kBeforeSwap: return "versions, gate, attributes, carry-over";
    case Step::kRename: return "datos.new renamed";
    case Step::kSupport: return "support folder";
    case Step::kBackup: return "earlier version backup";
    case Step::kUnversioned: return "unversioned backup";
    case Step::kNote: return "swap note";
    case Step::kMoveOut: return "installation to its backup";
    case Step::kPromote: return "promotion";
    case Step::kEndNote: return "swap note removed";
    case Step::kManifests: return "manifest files";
  }
  return "?";
}

// A move counts twice: its rename, then the sync of its folders.
bool IsMoveSync(const std::string& name) { return name.ends_with(": sync"); }

// Classifies every operation of a complete run from its log; a move's sync
// falls in the step of its move.
std::vector<Step> StepsOf(const std::vector<FaultFileSystem::Operation>& log, RunDrive& d) {
  std::vector<Step> steps;
  bool versions_read = false;
  for (const FaultFileSystem::Operation& op : log) {
    if (op.name == "GetFileVersion") versions_read = true;
    Step step = versions_read ? Step::kBeforeSwap : Step::kStaging;
    const std::string name = op.name.substr(0, op.name.find(':'));
    if (name == "MoveFile" && op.destination == d.Path("\\zentaroDeck_NEW\\datos.mdb"))
      step = Step::kRename;
    else if (name == "CreateFolder" && op.path == d.Path("\\SOPORTE") && versions_read)
      step = Step::kSupport;
    else if (name == "DeleteFolder" && op.path == d.BackupPath())
      step = Step::kBackup;
    else if (op.path.find("\\actualizacion_en_curso.") != std::string::npos)
      step = name == "DeleteFile" && op.path.ends_with(".txt") ? Step::kEndNote : Step::kNote;
    else if (name == "MoveFolder" && op.path == d.Path("\\zentaroDeck"))
      step = Step::kMoveOut;
    else if (name == "DeleteFolder" && op.path == d.Path("\\SOPORTE\\zentaroDeck"))
      step = Step::kUnversioned;
    else if (name == "MoveFolder" && op.path == d.Path("\\zentaroDeck_NEW"))
      step = Step::kPromote;
    else if (name == "DeleteFile" && op.path.find("\\zentaroDeck\\") != std::string::npos)
      step = Step::kManifests;
    steps.push_back(step);
  }
  return steps;
}

// The state a break at the sync of a move leaves is that of the step after
// the move: the rename is done. Only a power cut undoes it, since its
// folders never reached the disk.
Step StepAfterMove(Step step) {
  switch (step) {
    case Step::kMoveOut: return Step::kPromote;
    case Step::kPromote: return Step::kEndNote;
    default: return step;  // the renames of datos.new and of the note leave the step as it was
  }
}

// What a run that never failed leaves, and what it passes through.
struct Reference {
  std::vector<FaultFileSystem::Operation> log;
  std::vector<Step> steps;
  Snapshot old_installation;  // \zentaroDeck before the run
  Snapshot old_support;       // \SOPORTE before the run
  Snapshot staged;            // \zentaroDeck_NEW just before the promotion
  Snapshot installation;      // \zentaroDeck after the run
  Snapshot support;           // \SOPORTE after the run
};

Reference MakeReference(RunDrive& d) {
  Reference ref;
  d.Reset();
  ref.old_installation = d.Take("\\zentaroDeck");
  ref.old_support = d.Take("\\SOPORTE");
  {
    FaultFileSystem faulty(d.fs());
    EXPECT_EQ(d.Run(faulty), RunOutcome::kCompleted);
    ref.log = faulty.log();
  }
  ref.installation = d.Take("\\zentaroDeck");
  ref.support = d.Take("\\SOPORTE");
  ref.steps = StepsOf(ref.log, d);

  // The staging folder as it stands complete: fail the promotion itself.
  for (size_t i = 0; i < ref.steps.size(); ++i) {
    if (ref.steps[i] != Step::kPromote || IsMoveSync(ref.log[i].name)) continue;
    d.Reset();
    FaultFileSystem faulty(d.fs());
    faulty.FailAt(i + 1, kErrPermissionDenied);
    EXPECT_THROW(d.Run(faulty), Error);
    ref.staged = d.Take("\\zentaroDeck_NEW");
  }
  EXPECT_FALSE(ref.staged.empty()) << "the run never promoted the staging folder";
  return ref;
}

// kPowerCut is a dead stop after which what was still in the write cache is
// gone too: unsynced data, and a rename whose folders were not synced yet
// (FaultFileSystem::DropUnsyncedData).
enum class Mode { kFail, kStopDead, kPowerCut };

const char* ModeName(Mode mode) {
  switch (mode) {
    case Mode::kFail: return "failure";
    case Mode::kStopDead: return "stop";
    case Mode::kPowerCut: return "power cut";
  }
  return "?";
}

// The checks after a run broken at operation n.
class Trial {
 public:
  Trial(RunDrive& d, const Reference& ref, Mode mode, size_t n)
      : d_(d), ref_(ref), mode_(mode), n_(n), step_(ref.steps[n - 1]) {
    if (IsMoveSync(ref.log[n - 1].name) && mode != Mode::kPowerCut) step_ = StepAfterMove(step_);
  }

  // The three errors the file system reports most: a path gone missing,
  // access denied, the disk full.
  int ErrorFor() const {
    static const int kErrors[] = {kErrPathNotFound, kErrPermissionDenied, kErrDiskFull};
    return kErrors[n_ % 3];
  }

  std::string Where() const {
    const FaultFileSystem::Operation& op = ref_.log[n_ - 1];
    return std::string(ModeName(mode_)) + " at operation " +
           std::to_string(n_) + " (" + op.name + " " + op.path + ", step " + StepName(step_) + ")";
  }

  // Runs with the fault and returns whether the run ended early.
  bool Break() {
    d_.Reset();
    FaultFileSystem faulty(d_.fs());
    if (mode_ == Mode::kFail) {
      faulty.FailAt(n_, ErrorFor());
    } else {
      faulty.StopAt(n_);
    }
    try {
      d_.Run(faulty);
    } catch (const Error& e) {
      EXPECT_EQ(mode_, Mode::kFail) << Where();
      // The database engine reports a failing page read or write as its
      // own error about the file; every other layer passes the number on.
      const std::string& name = ref_.log[n_ - 1].name;
      const bool engine_page = name == "ReadAt" || name == "WriteAt" || name == "Sync" ||
                               name == "Truncate" || name.ends_with("RandomAccess");
      // A profile file that a failing read reports missing reads as empty;
      // the run may then end later at another operation, for example a copy
      // whose destination key read as empty names the bare drive.
      const std::string& path = ref_.log[n_ - 1].path;
      const bool profile_file = path.size() > 4 && path.compare(path.size() - 4, 4, ".ini") == 0;
      if (!engine_page && !profile_file) {
        EXPECT_EQ(e.number(), ErrorFor()) << Where() << ": " << e.what();
      }
      return true;
    } catch (const StoppedDead&) {
      EXPECT_NE(mode_, Mode::kFail) << Where();
      if (mode_ == Mode::kPowerCut) emptied = faulty.DropUnsyncedData();
      return true;
    }
    // Only the profile functions absorb a failure, as kernel32's do: a file
    // that a read finds missing reads as empty (any other failing read ends
    // the run), and a write refused is ignored. So does the database open
    // that falls back to reading when writing is denied.
    const std::string& name = ref_.log[n_ - 1].name;
    const bool read_missing =
        (name == "ReadFileBytes" || name == "GetFileStamp") && ErrorFor() == kErrPathNotFound;
    EXPECT_TRUE(mode_ == Mode::kFail && (read_missing || name == "WriteFileBytes" || name == "GetAttributes" ||
                                      // The carry-over opens a database for reading
                                      // when it may not write to it: it never does.
                                      (name == "OpenRandomAccess" && ErrorFor() == kErrPermissionDenied)))
        << Where() << ": the run completed";
    ++absorbed;
    return false;
  }

  // The old installation, byte for byte, in one of its two places.
  bool OldInstallationWhole() {
    if (d_.Take("\\zentaroDeck") == ref_.old_installation) return true;
    return d_.Take("\\SOPORTE\\zentaroDeck_" + d_.current_version()) == ref_.old_installation;
  }

  bool InstallationInPlace() { return d_.Take("\\zentaroDeck") == ref_.old_installation; }

  // A run that absorbed its failure and completed: whether its new
  // installation is the one an undisturbed run makes. A profile value that
  // read as empty leaves the package's value, or a manifest count that read
  // as empty carries nothing, and the run still reports its end.
  bool CompletedLikeTheReference() { return d_.Take("\\zentaroDeck") == ref_.installation; }

  const std::string& Path() const { return ref_.log[n_ - 1].path; }

  // \SOPORTE as it was before the run. A run makes it, when missing, to
  // hold the drive's lock, and removes it again; a stopped run leaves it
  // empty.
  void ExpectSupportAsBefore() {
    Snapshot support = d_.Take("\\SOPORTE");
    if (support.empty()) support = {{"<absent>", ""}};
    EXPECT_EQ(support, ref_.old_support) << Where();
  }

  // What the drive holds after a failure at each step.
  void CheckDriveForStep() {
    Snapshot installation = d_.Take("\\zentaroDeck");
    Snapshot backup = d_.Take("\\SOPORTE\\zentaroDeck_" + d_.current_version());
    Snapshot staging = d_.Take("\\zentaroDeck_NEW");
    switch (step_) {
      case Step::kStaging:
        EXPECT_EQ(installation, ref_.old_installation) << Where();
        ExpectSupportAsBefore();
        break;
      case Step::kBeforeSwap:
      case Step::kRename:
      case Step::kSupport:
        EXPECT_EQ(installation, ref_.old_installation) << Where();
        EXPECT_TRUE(d_.fs().FolderExists(d_.Path("\\zentaroDeck_NEW"))) << Where();
        if (step_ != Step::kSupport) ExpectSupportAsBefore();
        break;
      case Step::kBackup:
      case Step::kUnversioned:
      case Step::kNote:
      case Step::kMoveOut:
        EXPECT_TRUE(d_.fs().FolderExists(d_.Path("\\SOPORTE"))) << Where();
        if (mode_ != Mode::kPowerCut) {
          EXPECT_EQ(staging, ref_.staged) << Where();
        }
        // A rename is all or nothing: the installation did not move.
        EXPECT_EQ(installation, ref_.old_installation) << Where();
        break;
      case Step::kPromote:
        EXPECT_EQ(installation, Snapshot({{"<absent>", ""}})) << Where();
        EXPECT_EQ(backup, ref_.old_installation) << Where();
        if (mode_ != Mode::kPowerCut) {
          EXPECT_EQ(staging, ref_.staged) << Where();
        }
        break;
      case Step::kEndNote:
      case Step::kManifests: {
        EXPECT_EQ(backup, ref_.old_installation) << Where();
        EXPECT_EQ(staging, Snapshot({{"<absent>", ""}})) << Where();
        // The new installation, still holding both manifest files, or
        // update_ss.ini alone once actualizador.ini is gone.
        Snapshot without_first = ref_.staged;
        without_first.erase("actualizador.ini");
        if (mode_ != Mode::kPowerCut) {
          EXPECT_TRUE(installation == ref_.staged || installation == without_first) << Where();
        }
        EXPECT_GT(installation.size(), ref_.installation.size()) << Where();
        break;
      }
    }
  }

  // The next run on the same drive leaves the normal result: it updates
  // from the old installation in its place, or finishes the swap the
  // broken run left half done and then finds the package installed.
  // Stopped after the promotion and its note, while it deleted the manifest
  // files, the new installation is in place holding one of them: the next
  // run finds it up to date and leaves it so.
  void CheckRerun() {
    FaultFileSystem plain(d_.fs());
    const RunOutcome outcome = d_.Run(plain);
    if (step_ == Step::kManifests) {
      EXPECT_EQ(outcome, RunOutcome::kRefused) << "rerun after " << Where();
      EXPECT_EQ(d_.Take("\\SOPORTE\\zentaroDeck_" + d_.current_version()), ref_.old_installation)
          << "rerun after " << Where();
      return;
    }
    EXPECT_EQ(outcome, step_ >= Step::kPromote ? RunOutcome::kRefused : RunOutcome::kCompleted)
        << "rerun after " << Where();
    EXPECT_EQ(d_.Take("\\zentaroDeck"), ref_.installation) << "rerun after " << Where();
    EXPECT_EQ(d_.Take("\\SOPORTE"), ref_.support) << "rerun after " << Where();
    EXPECT_FALSE(d_.fs().FolderExists(d_.Path("\\zentaroDeck_NEW"))) << "rerun after " << Where();
  }

  int absorbed = 0;
  size_t emptied = 0;  // files a power cut emptied

 private:
  RunDrive& d_;
  const Reference& ref_;
  Mode mode_;
  size_t n_;
  Step step_;
};

// The swap itself, stopped dead and cut at each of its operations on the
// backend of this build (the Windows one too, under Wine, where the whole
// run broken everywhere would take far too long): the drive is left as the
// failure table says, and the next run leaves the normal result.
TEST(SwapBrokenOnThisBackend, EveryOperationOfTheSwapStoppedAndCut) {
  RunDrive d({.earlier_backups = true, .songs = 0});
  Reference ref = MakeReference(d);
  ASSERT_FALSE(::testing::Test::HasFailure());
  int trials = 0, gaps = 0;
  for (size_t n = 1; n <= ref.log.size(); ++n) {
    if (ref.steps[n - 1] < Step::kRename) continue;
    for (Mode mode : {Mode::kStopDead, Mode::kPowerCut}) {
      Trial trial(d, ref, mode, n);
      ASSERT_TRUE(trial.Break()) << trial.Where();
      ASSERT_TRUE(trial.OldInstallationWhole()) << "old installation lost after " << trial.Where();
      trial.CheckDriveForStep();
      gaps += !d.fs().FolderExists(d.Path("\\zentaroDeck"));
      trial.CheckRerun();
      ++trials;
      if (::testing::Test::HasFailure()) return;
    }
  }
  std::printf("[figures] the swap broken %d times; %d left no \\zentaroDeck, each put right by the rerun\n",
              trials, gaps);
  EXPECT_GT(gaps, 0);
}

#ifndef _WIN32
struct Figures {
  size_t operations = 0, trials = 0, reruns = 0, absorbed = 0;
  // Absorbed failures whose completed run left another new installation,
  // and the files whose failing operations did so.
  size_t absorbed_other_result = 0;
  std::map<std::string, int> other_result_files;
  // Power cuts after the old installation moved out that left the new one
  // (in \zentaroDeck or still in the staging folder) with emptied files.
  size_t damaged_new_installations = 0;
  // Breaks that left no \zentaroDeck, each put right by the rerun.
  size_t gaps = 0;
};

void BreakEveryOperation(RunDrive& d, const Reference& ref, Mode mode, Figures& figures) {
  figures.operations = ref.log.size();
  for (size_t n = 1; n <= ref.log.size(); ++n) {
    Trial trial(d, ref, mode, n);
    bool ended_early = trial.Break();
    ++figures.trials;
    figures.absorbed += trial.absorbed;
    if (trial.emptied > 0 && !trial.InstallationInPlace()) ++figures.damaged_new_installations;
    // The promise: never a moment without the whole old installation.
    ASSERT_TRUE(trial.OldInstallationWhole()) << "old installation lost after " << trial.Where();
    if (!ended_early) {
      if (!trial.CompletedLikeTheReference()) {
        ++figures.absorbed_other_result;
        ++figures.other_result_files[trial.Path()];
      }
      continue;
    }
    trial.CheckDriveForStep();
    if (!d.fs().FolderExists(d.Path("\\zentaroDeck"))) ++figures.gaps;
    trial.CheckRerun();
    ++figures.reruns;
    if (::testing::Test::HasFatalFailure()) return;
  }
}

struct Drive {
  bool earlier_backups;
  int songs;  // kSongsFromEnvironment: ACT_FAULT_SONGS, the test skipped without it
  const char* name;
};
constexpr int kSongsFromEnvironment = -1;

class WholeRunFaultTest : public ::testing::TestWithParam<Drive> {};

TEST_P(WholeRunFaultTest, EveryOperationFailedAndStoppedAt) {
  int songs = GetParam().songs;
  if (songs == kSongsFromEnvironment) {
    const char* text = std::getenv("ACT_FAULT_SONGS");
    songs = text ? std::atoi(text) : 0;
    if (songs <= 0) GTEST_SKIP() << "set ACT_FAULT_SONGS to the number of installed songs";
  }
  RunDrive d({.earlier_backups = GetParam().earlier_backups, .songs = songs});
  Reference ref = MakeReference(d);
  ASSERT_FALSE(HasFailure());
  // The reference itself: the old installation became the version backup.
  EXPECT_EQ(d.Take("\\SOPORTE\\zentaroDeck_" + d.current_version()), ref.old_installation);

  for (Mode mode : {Mode::kFail, Mode::kStopDead, Mode::kPowerCut}) {
    Figures f;
    f.operations = ref.log.size();
    const auto start = std::chrono::steady_clock::now();
    BreakEveryOperation(d, ref, mode, f);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    std::printf("[figures] %s (%d songs), %s: %zu operations, %zu trials, %zu reruns, %zu absorbed "
                "(%zu of them completed with another new installation), "
                "%zu damaged new installations, %zu without \\zentaroDeck put right by the rerun, %lld s\n",
                GetParam().name, songs, ModeName(mode), f.operations, f.trials, f.reruns, f.absorbed,
                f.absorbed_other_result, f.damaged_new_installations, f.gaps,
                static_cast<long long>(seconds.count()));
    for (const auto& [file, count] : f.other_result_files) {
      std::printf("[figures]   absorbed with another result: %d failing operations on %s\n", count,
                  file.c_str());
    }
    std::fflush(stdout);
    EXPECT_EQ(f.trials, ref.log.size());
    // The staging folder is flushed before the swap, so a power cut
    // anywhere leaves the new installation whole once it is in place.
    EXPECT_EQ(f.damaged_new_installations, 0u);
  }
}

// The third drive carries a database of installed songs over into the
// package's through the Jet engine, so that stops land inside its page
// writes too. The fourth does the same with as many songs as
// ACT_FAULT_SONGS says, by hand: a few thousand songs make a run of
// thousands of operations, each broken three ways, far too long for every
// build.
INSTANTIATE_TEST_SUITE_P(
    Drives, WholeRunFaultTest,
    ::testing::Values(Drive{false, 0, "WithoutSupportFolder"},
                      Drive{true, 0, "WithEarlierBackups"},
                      Drive{false, 300, "CarryingADatabaseOf300Songs"},
                      Drive{true, kSongsFromEnvironment, "CarryingTheDatabaseOfActFaultSongs"}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

}  // namespace
}  // namespace act::test
