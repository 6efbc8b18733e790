// update_bench: the whole update through actualizador-cli on a realistic
// installation, against the floor of what it must at least do: copy the
// package, copy the installed database, and make both durable.
//
//   update_bench [--songs N] [--settings N] [--media-mb M] [--files F]
//                [--sections S] [--keys K] [--photos P] [--rounds R] [--keep]
//
// The installation (a temporary drive): datos.mdb with N songs shaped as a
// shop's catalogue (counter key, ordinary indexes on title, artist and
// album, values in no order) and N configuration rows; configuracion.ini
// with S sections of K listed keys; listed folders of photos and skins.
// The package beside it: the new executable, its manifest, datos.new with
// the same design, its own configuration rows, and M megabytes of media in
// F files.
//
// Each round times, in turn (the order alternating), `cp -r` of the package
// plus `cp` of the installed database followed by a sync of the copies
// (the floor), and actualizador-cli updating the installation (which syncs
// what it staged before it swaps); the installation is put back between
// runs. The medians of R rounds and their ratio are printed, with the
// CLI's peak memory (GNU time's report). The first run's result must pass the engine's
// consistency check and read back through mdb-export.
//
// The stages (staging, versions, database, settings, copies, swap) are
// timed by R more runs of the same update in this process, with the
// engine's services wrapped in clocks: the file-system service marks where
// the package copy, the listed copies and the swap begin and end, and the
// database carry-over is timed whole. Their medians and shares follow.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/check/consistency_check.h"
#include "db/jet/table/database.h"
#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "engine/run_observer.h"
#include "engine/update_run.h"
#include "platform/profile_store.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

extern char** environ;

namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;
using act::db::Value;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Options {
  long songs = 1000000;
  int settings = 3000;
  int media_mb = 300;
  int files = 3000;
  int sections = 10;
  int keys = 30;
  int photos = 400;
  int rounds = 3;
  bool keep = false;
};

// Hears when each stage of a timed run starts.
class StageClock : public act::RunObserver {
 public:
  explicit StageClock(Clock::time_point start) : start_(start) {}
  void StageStarted(act::RunStage stage) override { started[stage] = now(); }
  double now() const { return Since(start_); }
  std::map<act::RunStage, double> started;

 private:
  Clock::time_point start_;
};

class SilentBoxes : public act::MessageBoxes {
 public:
  void Show(const std::string&, int, const std::string&) override {}
};

struct Stages {
  double staging = 0, versions = 0, database = 0, settings = 0, copies = 0, swap = 0, total = 0;
};

// One update in this process, its stages timed by the run's own reports.
Stages TimedRun(const act::testing::TempDrive& drive, const std::string& origin) {
  using act::RunStage;
  StageClock clock(Clock::now());
  std::unique_ptr<act::FileSystem> fs = act::NewPlatformFileSystem(drive.prefix());
  std::unique_ptr<act::ProfileStore> profiles = act::NewPlatformProfileStore(*fs);
  act::CarryOverRules database(*profiles, [&fs] { return act::NewDaoCarryOverEngine(*fs); });
  SilentBoxes boxes;
  act::RunServices services{*fs, *profiles, boxes, &database, &clock};
  act::RunInputs inputs{drive.drive(), origin};
  if (act::RunUpdate(inputs, services) != act::RunOutcome::kCompleted) {
    throw std::runtime_error("the timed update was refused");
  }
  Stages s;
  s.total = clock.now();
  auto at = [&](RunStage stage) { return clock.started.at(stage); };
  s.staging = at(RunStage::kVersionGate);
  s.versions = at(RunStage::kDatabase) - at(RunStage::kVersionGate);
  s.database = at(RunStage::kProductSettings) - at(RunStage::kDatabase);
  s.settings = (at(RunStage::kFolderCopies) - at(RunStage::kProductSettings)) +
               (at(RunStage::kSwap) - at(RunStage::kSearchSettings));
  s.copies = at(RunStage::kSearchSettings) - at(RunStage::kFolderCopies);
  s.swap = s.total - at(RunStage::kSwap);
  return s;
}

struct CliRun {
  double seconds = 0;
  long peak_kib = 0;
  int status = -1;
};

// The program runs under GNU time, which reports its peak memory: a child
// spawned from this process would count this process's memory until it
// starts the program.
CliRun RunCli(const act::testing::TempDrive& drive, const std::string& origin,
              const std::string& log, const std::string& peak_file) {
  std::vector<std::string> args = {"/usr/bin/time", "-f", "%M", "-o", peak_file, ACT_CLI_PATH,
                                   "--drive", drive.drive(), "--origin", origin,
                                   "--prefix", drive.prefix()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  ::sync();  // nothing written before runs into this run's clock
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  CliRun r;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.seconds = Since(start);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (FILE* f = std::fopen(peak_file.c_str(), "r")) {
      if (std::fscanf(f, "%ld", &r.peak_kib) != 1) r.peak_kib = 0;
      std::fclose(f);
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

double Shell(const std::string& command) {
  ::sync();
  const Clock::time_point start = Clock::now();
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  return Since(start);
}

std::string Quoted(const stdfs::path& p) { return "'" + p.string() + "'"; }

std::vector<act::test::Setting> Settings(int count, bool installed) {
  std::vector<act::test::Setting> out = {
      {Value::Text("versionBD"), Value::Text(installed ? "2.0" : "3.0"), Value::Long(installed ? 200 : 300)},
      {Value::Text("VersionCLI"), Value::Text(installed ? "2.0.0.0" : "3.0.0.0"), Value::Null()}};
  for (int k = 0; k < count; ++k) {
    const std::string n = std::to_string(k);
    out.push_back({Value::Text("ajuste_" + n),
                   k % 7 == 0 ? Value::Null() : Value::Text((installed ? "valor del bar ñ " : "valor nuevo ") + n),
                   k % 5 == 0 ? Value::Null() : Value::Long(installed ? k : -k)});
  }
  return out;
}

int Main(const Options& o) {
  act::testing::TempDrive drive;
  act::FileSystem& fs = drive.fs();
  const std::string origin = drive.Path("\\media");
  const stdfs::path root = drive.root();
  std::printf("building the installation and the package on %s ...\n", root.c_str());
  std::fflush(stdout);
  {
    act::test::SampleOptions sample;
    sample.sections = o.sections;
    sample.keys_per_section = o.keys;
    sample.skin_files = 20;
    sample.photo_files = o.photos;
    sample.media_bytes = 50000;
    act::test::MakeFolders(fs, origin);
    act::test::PutInstallation(fs, drive.drive(),
                               act::test::VersionedExe(fs, ACT_TEST_EXE_DIR, "2.0.0.0"), sample);
    act::test::PutPackage(fs, origin, act::test::VersionedExe(fs, ACT_TEST_EXE_DIR, "3.0.0.0"),
                          sample);
    act::test::PutBulkFolder(fs, origin + "\\zentaroDeck_NEW\\medios", o.files,
                             uint64_t(o.media_mb) << 20);
    const std::string installed = drive.Path("\\zentaroDeck\\datos.mdb");
    const std::string packaged = origin + "\\zentaroDeck_NEW\\datos.new";
    fs.DeleteFile(installed, true);
    fs.DeleteFile(packaged, true);
    act::test::CarryOverDatabaseContent mine = act::test::InstalledContent(o.songs);
    mine.shop_songs = true;
    mine.settings = Settings(o.settings, true);
    act::test::WriteCarryOverDatabase(fs, installed, mine);
    act::test::CarryOverDatabaseContent shipped = act::test::PackageContent();
    shipped.shop_songs = true;
    shipped.settings = Settings(o.settings, false);
    act::test::WriteCarryOverDatabase(fs, packaged, shipped);
  }
  const stdfs::path package = root / "media" / "zentaroDeck_NEW";
  const stdfs::path database = root / "zentaroDeck" / "datos.mdb";
  std::printf("package %.0f MB in %d files, datos.mdb %.0f MB (%ld songs, %d settings rows, %d "
              "listed keys, %d photos)\n",
              [&] {
                uintmax_t bytes = 0;
                for (const auto& e : stdfs::recursive_directory_iterator(package))
                  if (e.is_regular_file()) bytes += e.file_size();
                return bytes / 1e6;
              }(),
              o.files, stdfs::file_size(database) / 1e6, o.songs, o.settings, o.sections * o.keys,
              o.photos);
  std::fflush(stdout);

  // The old installation is only ever moved by the run: it goes back.
  auto restore = [&] {
    stdfs::remove_all(root / "zentaroDeck_NEW");
    stdfs::remove_all(root / "zentaroDeck");
    stdfs::rename(root / "SOPORTE" / "zentaroDeck_2.0.0.0", root / "zentaroDeck");
    stdfs::remove_all(root / "SOPORTE");
  };
  const stdfs::path floor = root / "suelo";
  const std::string floor_command =
      "cp -r " + Quoted(package) + " " + Quoted(floor) + " && cp " + Quoted(database) + " " +
      Quoted(floor / "datos.mdb") + " && find " + Quoted(floor) + " -type f -exec sync {} +";
  const std::string log = (root / "cli.log").string();
  const std::string peak_file = (root / "cli.peak").string();

  std::vector<double> floors, runs;
  long peak = 0;
  for (int r = 0; r < o.rounds; ++r) {
    auto time_floor = [&] {
      floors.push_back(Shell(floor_command));
      stdfs::remove_all(floor);
    };
    auto time_run = [&] {
      const CliRun run = RunCli(drive, origin, log, peak_file);
      if (run.status != 0) {
        std::printf("actualizador-cli ended with status %d; see %s\n", run.status, log.c_str());
        std::exit(1);
      }
      runs.push_back(run.seconds);
      peak = std::max(peak, run.peak_kib);
      if (r == 0) {
        // The result, before it is put back.
        auto db = act::db::jet::Database::Open(fs, drive.Path("\\zentaroDeck\\datos.mdb"), false);
        const size_t findings = act::db::jet::Faults(act::db::jet::CheckDatabase(*db)).size();
        db.reset();
        const std::string count =
            "mdb-export " + Quoted(root / "zentaroDeck" / "datos.mdb") + " canciones | wc -l";
        FILE* pipe = popen(count.c_str(), "r");
        long lines = 0;
        if (pipe && std::fscanf(pipe, "%ld", &lines) != 1) lines = 0;
        if (pipe) pclose(pipe);
        std::printf("  result: consistency check %zu fault(s); mdb-export reads %ld songs (%ld "
                    "expected)\n",
                    findings, lines - 1, o.songs);
        if (findings != 0 || lines - 1 != o.songs) std::exit(1);
      }
      restore();
    };
    if (r % 2 == 0) {
      time_floor();
      time_run();
    } else {
      time_run();
      time_floor();
    }
    std::printf("  round %d: floor %.3f s, update %.3f s\n", r + 1, floors.back(), runs.back());
    std::fflush(stdout);
  }
  const double floor_s = Median(floors), run_s = Median(runs);
  std::printf("floor (cp -r package + cp datos.mdb + sync) %.3f s; actualizador-cli %.3f s: "
              "%.2fx; peak memory %.1f MiB\n",
              floor_s, run_s, run_s / floor_s, peak / 1024.0);
  std::fflush(stdout);

  std::vector<Stages> timed;
  for (int r = 0; r < o.rounds; ++r) {
    ::sync();
    timed.push_back(TimedRun(drive, origin));
    restore();
  }
  auto median_of = [&](double Stages::*field) {
    std::vector<double> v;
    for (const Stages& s : timed) v.push_back(s.*field);
    return Median(v);
  };
  const double total = median_of(&Stages::total);
  std::printf("stages (in-process runs, medians of %d):\n", o.rounds);
  for (auto [name, field] : std::vector<std::pair<const char*, double Stages::*>>{
           {"staging", &Stages::staging}, {"versions", &Stages::versions},
           {"database", &Stages::database}, {"settings", &Stages::settings},
           {"copies", &Stages::copies}, {"swap", &Stages::swap}}) {
    const double t = median_of(field);
    std::printf("  %-9s %7.3f s  %5.1f%%\n", name, t, 100 * t / total);
  }
  std::printf("  %-9s %7.3f s\n", "whole", total);
  std::fflush(stdout);
  if (o.keep) {
    std::printf("kept %s (the drive is removed otherwise)\n", root.c_str());
    std::fflush(stdout);
    std::_Exit(0);  // skips the drive's removal
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&] { return i + 1 < argc ? std::atol(argv[++i]) : 0; };
    if (arg == "--songs") o.songs = number();
    else if (arg == "--settings") o.settings = int(number());
    else if (arg == "--media-mb") o.media_mb = int(number());
    else if (arg == "--files") o.files = int(number());
    else if (arg == "--sections") o.sections = int(number());
    else if (arg == "--keys") o.keys = int(number());
    else if (arg == "--photos") o.photos = int(number());
    else if (arg == "--rounds") o.rounds = int(number());
    else if (arg == "--keep") o.keep = true;
    else return std::fprintf(stderr, "unknown argument %s\n", arg.c_str()), 2;
  }
  try {
    return Main(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "update_bench: %s\n", e.what());
    return 1;
  }
}
