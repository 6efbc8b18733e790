// actualizador-cli: the update run without a window. Each message box the
// window would show becomes a line on stdout; a failure becomes the error
// report on stderr. Exit status: 0 completed, 2 refused, 1 failed.
// Output is UTF-8 everywhere; on Windows the streams stay in text mode, so
// lines end in CRLF there as Windows tools expect.
#include <cstdio>
#include <exception>
#include <string>

#include "engine/database_carry_over_dao.h"
#include "engine/database_carry_over_jet.h"
#include "engine/update_run.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "platform/shell/shell.h"
#include "ui/cli/cli_host.h"
#include "ui/cli/cli_options.h"
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

int Run(const CliOptions& options) {
  ConsoleBoxes boxes;
  RunInputs inputs;
  inputs.drive_text = ChooseDrive(options, boxes);
  std::string origin = options.origin.empty() ? ExecutableFolder() : options.origin;
  inputs.updater_folder = OriginAsDrivePath(origin, inputs.drive_text, options.prefix);

  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem(options.prefix);
  std::unique_ptr<ProfileStore> profiles = NewPlatformProfileStore(*fs);
  // One run per process here, so the database engine, made on first use
  // over this run's file-system service, lives as long as the process.
  DaoDatabaseCarryOver database(*profiles, [&fs] { return NewJetCarryOverEngine(*fs); });
  RunServices services{*fs, *profiles, boxes, &database};
  return RunUpdate(inputs, services) == RunOutcome::kCompleted ? kExitCompleted : kExitRefused;
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
  } catch (const Error& e) {
    ReportError("Error " + std::to_string(e.number()) + ": " + e.what());
  } catch (const std::exception& e) {
    ReportError(std::string("Error: ") + e.what());
  }
  return kExitFailed;
}
