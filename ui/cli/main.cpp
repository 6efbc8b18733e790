// actualizador-cli: the update run without a window. Each message box the
// window would show becomes a line on stdout; a failure becomes the error
// report on stderr. Exit status: 0 completed, 2 refused, 1 failed.
// Output is UTF-8 everywhere; on Windows the streams stay in text mode, so
// lines end in CRLF there as Windows tools expect.
//
// Beside the run itself: --dry-run runs the very same steps over an overlay
// of the drives and prints the plan; --log appends one line per step to a
// file; a terminal on stderr shows the long steps' progress. They only
// watch: the run makes the same steps in the same order either way.
#include <cstdio>
#include <exception>
#include <string>

#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "engine/run_paths.h"
#include "engine/staging_room.h"
#include "engine/drive_lock.h"
#include "engine/update_run.h"
#include "platform/error.h"
#include "platform/file_profile_store.h"
#include "platform/file_system.h"
#include "platform/overlay/overlay_file_system.h"
#include "platform/profile_store.h"
#include "platform/shell/shell.h"
#include "platform/command_line.h"
#include "ui/cli/cli_host.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/dry_run_plan.h"
#include "ui/cli/run_log.h"
#include "ui/cli/run_observers.h"
#include "ui/cli/terminal_progress.h"
#include "ui/discovery/drive_discovery.h"
#include "ui/discovery/drive_names.h"

#ifdef _WIN32
#include "platform/win32/system_library.h"
#endif

namespace act {
namespace {

enum ExitStatus { kExitCompleted = 0, kExitFailed = 1, kExitRefused = 2 };

class ConsoleBoxes : public MessageBoxes {
 public:
  void Show(const std::string& text, int, const std::string&) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
};

// A dry run shows no box: its plan tells what the run would have shown.
class UnshownBoxes : public MessageBoxes {
 public:
  void Show(const std::string&, int, const std::string&) override {}
};

std::string Report(const std::exception& e) {
  if (auto* error = dynamic_cast<const Error*>(&e))
    return "Error " + std::to_string(error->number()) + ": " + error->what();
  return std::string("Error: ") + e.what();
}

void ReportError(const std::string& report) {
  std::fwrite(report.data(), 1, report.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Without a window, the drive list is the text the discovery hands over.
class ChosenDrive : public DriveList {
 public:
  std::string text;
  void SetDrive(const std::string& drive) override { text = drive; }
};

// The drive to update: --drive, else the installation drive discovery. With
// no drive list to fall back on, a discovery that names no drive of the
// machine ends the program.
std::string ChooseDrive(const CliOptions& options, MessageBoxes& boxes) {
  if (!options.drive.empty()) return options.drive;
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem(options.prefix);
  std::unique_ptr<Shell> shell = NewPlatformShell(*fs, options.prefix);
  ChosenDrive chosen;
  buscaUnidadPrograma(*shell, boxes, chosen);
  if (!FindNamedDrive(shell->Drives(), chosen.text))
    throw Error(kErrDeviceUnavailable, "no installation drive found (give --drive): '" + chosen.text + "'");
  return chosen.text;
}

// Why a dry run that went through would still not run: the real run's own
// refusal for room, from the very figures it refuses on. Empty when it fits.
std::string ShortOfRoom(const std::optional<StagingRoom>& room) {
  if (!room) return "";
  try {
    RefuseIfTooSmall(*room);
  } catch (const Error& e) {
    return Report(e);
  }
  return "";
}

RunInputs ChooseInputs(const CliOptions& options, MessageBoxes& boxes) {
  RunInputs inputs;
  inputs.drive_text = ChooseDrive(options, boxes);
  std::string origin = options.origin.empty() ? ExecutableFolder() : options.origin;
  inputs.updater_folder = DrivePathOf(origin, inputs.drive_text, options.prefix);
  return inputs;
}

// The end of a dry run that went through: the plan, and the status the real
// run would end with.
int FinishDryRun(DryRunPlan& plan, OverlayFileSystem& overlay, const RunInputs& inputs,
                 const std::optional<StagingRoom>& room, RunOutcome outcome, RunLog* log) {
  DryRunPlan::Ending ending;
  ending.room = room;
  ending.memory = overlay.PeakMemory();
  ending.resident = PeakResidentBytes();
  ending.error = ShortOfRoom(room);
  ending.error_in_run = false;
  plan.Print(stdout, inputs, ending);
  std::fflush(stdout);
  if (ending.error.empty())
    return outcome == RunOutcome::kCompleted ? kExitCompleted : kExitRefused;
  if (log) log->Failed(ending.error);
  ReportError(ending.error);
  return kExitFailed;
}

int Run(const CliOptions& options) {
  std::unique_ptr<FileSystem> disk = NewPlatformFileSystem(options.prefix);
  // A dry run hands the run an overlay of the drives: the same steps read
  // the same files, and every change stays in memory. kernel32's profile
  // functions reach only real files, so the overlay's profile files go
  // through our own (those of the posix build) on Windows too.
  std::unique_ptr<OverlayFileSystem> overlay;
  if (options.dry_run) overlay = std::make_unique<OverlayFileSystem>(*disk);
  FileSystem& fs = overlay ? static_cast<FileSystem&>(*overlay) : *disk;
  std::unique_ptr<ProfileStore> profiles =
      overlay ? NewFileProfileStore(fs) : NewPlatformProfileStore(fs);

  RunObservers watchers;
  std::unique_ptr<RunLog> log;
  if (!options.log.empty()) {
    const AppendFile file = OpenForAppending(options.log);
    if (file == kNoFile) throw Error(kErrPathFileAccess, "cannot open the log " + options.log);
    log = std::make_unique<RunLog>(file, fs);
    watchers.Add(*log);
    CatchInterruptions(RunLog::Interrupted);
    log->Began(options.dry_run);
  }
  std::unique_ptr<DryRunPlan> plan;
  if (overlay) {
    plan = std::make_unique<DryRunPlan>(fs);
    watchers.Add(*plan);
  }
  std::unique_ptr<TerminalProgress> progress;
  ConsoleBoxes console;
  RunInputs inputs;
  std::optional<StagingRoom> room;
  try {
    inputs = ChooseInputs(options, console);
    if (log) log->Inputs(inputs);
    // The drive is taken before it is measured, so that a second run reads
    // nothing of a drive that another run is changing. A dry run changes
    // nothing and takes nothing.
    std::unique_ptr<DriveLock> drive_lock;
    if (!overlay) {
      drive_lock = TakeDriveForRun(inputs, fs, console, watchers.IfAny());
      if (!drive_lock) return kExitRefused;
    }
    room = MeasureStagingRoom(fs, *profiles, inputs);
    if (room && log) log->Room(*room);
    // A real run refuses before it touches anything; a dry run goes on to
    // say what else it would do.
    if (room && !overlay) RefuseIfTooSmall(*room);
    if (StandardErrorIsTerminal()) {
      progress = std::make_unique<TerminalProgress>(stderr, room ? room->package_bytes : 0,
                                                    [] { return TerminalColumns(stderr); });
      watchers.Add(*progress);
      disk->SetCopyProgress([&progress](const std::string& file, uint64_t bytes) {
        progress->FileCopied(file, bytes);
      });
    }

    UnshownBoxes unshown;
    // One run per process here, so the database engine, made on first use
    // over this run's file-system service, lives as long as the run.
    CarryOverRules database(*profiles, [&fs] { return NewDaoCarryOverEngine(fs); });
    RunServices services{fs, *profiles, overlay ? static_cast<MessageBoxes&>(unshown) : console,
                         &database, watchers.IfAny(), drive_lock.get()};
    const RunOutcome outcome = RunUpdate(inputs, services);
    if (progress) progress->Clear();
    if (overlay) return FinishDryRun(*plan, *overlay, inputs, room, outcome, log.get());
    return outcome == RunOutcome::kCompleted ? kExitCompleted : kExitRefused;
  } catch (const std::exception& e) {
    if (progress) progress->Clear();
    const std::string report = Report(e);
    if (log) log->Failed(report);
    if (plan && !inputs.drive_text.empty()) {
      DryRunPlan::Ending ending;
      ending.room = room;
      ending.memory = overlay->PeakMemory();
      ending.resident = PeakResidentBytes();
      ending.error = report;
      const std::string staging = RunPaths(inputs.drive_text).staging;
      if (overlay->FolderExists(staging)) ending.left_behind = MeasurePath(*overlay, staging);
      plan->Print(stdout, inputs, ending);
      std::fflush(stdout);
    }
    throw;
  }
}

}  // namespace
}  // namespace act

int main(int argc, char** argv) {
  using namespace act;
#ifdef _WIN32
  LoadLibrariesFromSystemFolderOnly();
#endif
  PrepareConsole();
  try {
    CliOptions options = ParseCliOptions(CommandLineArguments(argc, argv));
    if (options.help) {
      std::fputs(CliUsage(), stdout);
      return kExitCompleted;
    }
    return Run(options);
  } catch (const std::exception& e) {
    ReportError(Report(e));
  }
  return kExitFailed;
}
