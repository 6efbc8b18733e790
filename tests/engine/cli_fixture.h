// actualizador-cli run as an operator's script runs it, for the end-to-end
// tests: a separate process on the temporary drives, its lines on stdout,
// its error report on stderr and its exit status. Under Wine the Windows
// program is started, on posix the native one with the temporary prefix.
#pragma once

#include <cstdlib>

#include "run_fixture.h"
#include "shell_command.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/temp_drive.h"

namespace act::test {

struct CliResult {
  int status;
  std::string out, err;
};

// An argument as the shell that std::system starts must see it: posix shells
// take a backslash as an escape, cmd does not (and quotes would upset its
// own rules), so only posix needs quoting.
inline std::string Arg(const std::string& text) {
#ifdef _WIN32
  return text;
#else
  return "'" + text + "'";
#endif
}

// Windows programs end their lines with CRLF; the lines are what counts.
inline std::string Lines(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

class Cli : public RunTest {
 protected:
  // A run started and not yet waited for.
  struct Started {
    std::string out, err;  // the files its streams go to, on the updater's drive
    intptr_t process;
  };

  CliResult RunCli(const std::string& arguments, bool with_prefix = true,
                   std::string program = act::testing::HostFile(ACT_CLI_PATH)) {
    return Finish(Start(arguments, with_prefix, program));
  }

  // Starts the program through the shell, as RunCli does, without waiting,
  // so that several runs can be under way at once.
  Started Start(const std::string& arguments, bool with_prefix = true,
                std::string program = act::testing::HostFile(ACT_CLI_PATH)) {
    std::string command = "\"" + program + "\" " + arguments;
#ifdef _WIN32
    const char* sep = "\\";
    (void)with_prefix;
#else
    const char* sep = "/";
    if (with_prefix) command += " --prefix " + Arg(drives_.prefix());
#endif
    // Each run writes files of its own: under Wine, a file deleted right
    // after the run before may still be held open for a moment, and the
    // shell's redirection into the same name then fails ("Sharing
    // violation") without the program ever starting.
    const std::string out = "out" + std::to_string(++runs_) + ".txt";
    const std::string err = "err" + std::to_string(runs_) + ".txt";
    command += " >" + drives_.ShellRoot(2) + sep + out + " 2>" + drives_.ShellRoot(2) + sep + err;
    Started started{drives_.drive(2) + "\\" + out, drives_.drive(2) + "\\" + err, {}};
    started.process = StartShellCommand(command);
    return started;
  }

  CliResult Finish(const Started& started) {
    const int status = WaitShellCommand(started.process);
    CliResult result{status, Lines(Text(started.out)), Lines(Text(started.err))};
    fs().DeleteFile(started.out, true);
    fs().DeleteFile(started.err, true);
    return result;
  }
  std::string Standard() { return "--drive " + drive + " --origin " + Arg(origin); }

  // A bar's installation after years of use: many listed settings, skins
  // and photos.
  void UseRealisticOptions() {
    options.sections = 12;
    options.keys_per_section = 25;
    options.skin_files = 40;
    options.photo_files = 60;
    options.media_bytes = 4096;
    options.minimo = "1.10.0.0";
  }
  // The sample with real Jet databases in place of the stand-in files, since
  // the CLI carries the installed database into the package's.
  void MakeSample(const std::string& installed, const std::string& packaged, int64_t songs = 20) {
    RunTest::MakeSample(installed, packaged);
    fs().DeleteFile(Installed("\\datos.mdb"), true);
    WriteCarryOverDatabase(fs(), Installed("\\datos.mdb"), InstalledContent(songs));
    fs().DeleteFile(origin + "\\zentaroDeck_NEW\\datos.new", true);
    WriteCarryOverDatabase(fs(), origin + "\\zentaroDeck_NEW\\datos.new", PackageContent());
  }

 private:
  int runs_ = 0;
};

}  // namespace act::test
