// actualizador-cli as an operator's script runs it: a separate process on a
// realistic sample, its lines on stdout, its error report on stderr and its
// exit status. Under Wine the Windows program is started, on posix the
// native one with the temporary prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "db/dao/dao.h"
#include "engine/database/value_texts.h"
#include "engine/file_tree.h"
#include "engine/staging_room.h"
#include "cli_fixture.h"

namespace act::test {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The configuracion rows of a database: elemento -> valor_s and valor as the
// carry-over writes them into statements.
std::map<std::string, std::pair<std::string, std::string>> Configuration(FileSystem& fs,
                                                                         const std::string& path) {
  dao::DBEngine engine(fs);
  auto db = engine.OpenDatabase(path);
  auto rows = db->OpenRecordset("SELECT * FROM configuracion");
  std::map<std::string, std::pair<std::string, std::string>> out;
  for (; !rows->Eof(); rows->MoveNext())
    out[TextForm(rows->Fields().Item("elemento").Value())] = {
        TextForm(rows->Fields().Item("valor_s").Value()),
        TextForm(rows->Fields().Item("valor").Value())};
  return out;
}

int64_t RowCount(FileSystem& fs, const std::string& path, const std::string& table) {
  dao::DBEngine engine(fs);
  auto db = engine.OpenDatabase(path);
  auto rows = db->OpenRecordset("SELECT * FROM " + table);
  int64_t n = 0;
  for (; !rows->Eof(); rows->MoveNext()) ++n;
  return n;
}

TEST_F(Cli, RealisticUpdateCarriesEveryListedSettingKeyByKey) {
  UseRealisticOptions();
  MakeSample("2.0.0.0", "3.0.0.0");
  Snapshot skins = TakeSnapshot(fs(), Installed("\\skins"));
  Snapshot photos = TakeSnapshot(fs(), Installed("\\fotos"));

  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Fin De La actualización\n");
  EXPECT_EQ(r.err, "");

  const std::string config = Installed("\\configuracion.ini");
  for (int i = 1; i <= options.sections; ++i)
    for (int j = 1; j <= options.keys_per_section; ++j)
      ASSERT_EQ(profiles().Read(SampleSection(i), SampleKey(j), config), InstalledValue(i, j))
          << SampleSection(i) << "/" << SampleKey(j);
  EXPECT_EQ(profiles().Read("Privado", "serie", config), "ZD-0000");
  const std::string search = Installed("\\supersearch\\settings.ini");
  EXPECT_EQ(profiles().Read("Busqueda", "modo", search), "rápido");
  EXPECT_EQ(profiles().Read("Busqueda", "ruta", search), "d:\\música");
  EXPECT_EQ(profiles().Read("Busqueda", "idioma", search), "en");

  Snapshot new_skins = TakeSnapshot(fs(), Installed("\\skins"));
  EXPECT_EQ(new_skins.size(), skins.size() + 1);  // plus the package's own skin
  for (const auto& [name, content] : skins) EXPECT_EQ(new_skins[name], content) << name;
  EXPECT_EQ(TakeSnapshot(fs(), Installed("\\fotos")), photos);
  EXPECT_EQ(fs().GetFileVersion(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\zentaroDeck.exe"),
            "2.0.0.0");

  // Again with the same package: refused, status 2.
  r = RunCli(Standard());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Advertencia!: La Versión Ya Esta Actualizada\n");
}

TEST_F(Cli, FailuresReportOnStderrWithStatusOne) {
  MakeSample("2.0.0.0", "3.0.0.0");
  CliResult r = RunCli("--origin " + Arg(origin));  // no drive
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--drive"), std::string::npos) << r.err;

  r = RunCli("--drive " + drive + " --bogus");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;

  r = RunCli("--drive " + drive + " --origin " + Arg(drives_.drive(2) + "\\nada"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Error 76"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nada\\zentaroDeck_NEW"), std::string::npos) << r.err;
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "2.0.0.0");

  r = RunCli("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--drive X:"), std::string::npos);

  // A package larger than the drive's free room (a sparse file): refused
  // before anything is touched, naming the room needed and free.
  const std::optional<uint64_t> free = fs().FreeSpace(drive);
  ASSERT_TRUE(free.has_value());
  fs().CreateRandomAccess(origin + "\\zentaroDeck_NEW\\grande.bin")->Truncate(*free + (1 << 20));
  Snapshot before = TakeSnapshot(fs(), drive + "\\");
  r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error 61: Disk full: the update needs "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the package " + origin + "\\zentaroDeck_NEW "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" free"), std::string::npos) << r.err;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
}

TEST_F(Cli, RefusalsEndWithStatusTwo) {
  options.minimo = "2.5";
  MakeSample("2.0.0.0", "3.0.0.0");
  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Advertencia!: La Versión actual:2.0.0.0 No se puede actualizar\n");
  EXPECT_FALSE(fs().FolderExists(Staged("")));

  // Started from the root of the target drive: refused, nothing touched.
  PutPackage(fs(), drive + "\\", Exe("3.0.0.0"), options);
  Snapshot before = TakeSnapshot(fs(), drive + "\\");
  r = RunCli("--drive " + drive + " --origin " + Arg(drive + "\\"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("No se puede actualizar desde"), std::string::npos) << r.out;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);

#ifndef _WIN32
  // The same root named by its host path is recognised too.
  r = RunCli("--drive " + drive + " --origin " + Arg(drives_.ShellRoot(0)));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.out.find("No se puede actualizar desde"), std::string::npos) << r.out;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
#endif
}

TEST_F(Cli, WithoutOriginThePackageIsTheOneBesideTheProgram) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string copy = origin + "\\actualizador-cli.exe";
  fs().CopyFile(act::testing::HostFile(ACT_CLI_PATH), copy, true);
#ifdef _WIN32
  const std::string program = copy;
#else
  const std::string program = drives_.ShellRoot(1) + "/disco/actualizador-cli.exe";
#endif
  CliResult r = RunCli("--drive " + drive, true, program);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Fin De La actualización\n");
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
}

// The plan of a dry run against what the real run then does on the same
// drives: the rows of every table copy and those refused, the configuracion
// values and settings that change, the copies and the room the run takes,
// all read back from the disk after the real run. The dry run itself
// leaves every drive as it was.
TEST_F(Cli, DryRunPlansWhatTheRealRunThenDoes) {
  UseRealisticOptions();
  MakeSample("2.0.0.0", "3.0.0.0", 1500);
  // Left by an earlier run that failed half-way, and by an older updater.
  PutText(fs(), Staged("\\resto.txt"), "de una actualización fallida\n");
  PutText(fs(), drive + "\\SOPORTE\\zentaroDeck\\nota.txt", "copia sin versión\n");
  const uint64_t unversioned =
      MeasurePath(fs(), drive + "\\SOPORTE\\zentaroDeck", fs().AllocationUnit(drive + "\\").value()).room;
  const std::string installed_db = Installed("\\datos.mdb");
  const std::string package = origin + "\\zentaroDeck_NEW";
  // As on a disc, every file of the package is read-only.
  ForEachFileIn(fs(), package, [&](const std::string& p) { fs().SetAttributes(p, kAttrReadOnly); });
  Snapshot target_before = TakeSnapshot(fs(), drive + "\\");
  Snapshot disc_before = TakeSnapshot(fs(), origin);

  CliResult plan = RunCli(Standard() + " --dry-run");
  ASSERT_EQ(plan.status, 0) << plan.out << plan.err;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), target_before);
  EXPECT_EQ(TakeSnapshot(fs(), origin), disc_before);

  const uint64_t block = fs().AllocationUnit(drive + "\\").value();
  const uint64_t room_before = MeasurePath(fs(), drive + "\\", block).room;
  const uint64_t manifests = MeasurePath(fs(), package + "\\actualizador.ini", block).room +
                             MeasurePath(fs(), package + "\\update_ss.ini", block).room;
  const auto package_settings = Configuration(fs(), package + "\\datos.new");
  std::map<std::string, int64_t> installed_rows, package_rows;
  const std::vector<std::string> tables = {"informacion_cd", "canciones", "generos",
                                           "genero_album",   "publicidad", "dinero"};
  for (const std::string& t : tables) {
    installed_rows[t] = RowCount(fs(), installed_db, t);
    package_rows[t] = RowCount(fs(), package + "\\datos.new", t);
  }

  CliResult real = RunCli(Standard());
  ASSERT_EQ(real.status, 0) << real.err;
  const std::string promoted = Installed("\\datos.mdb");
  const std::string backup = drive + "\\SOPORTE\\zentaroDeck_2.0.0.0";
  const auto promoted_settings = Configuration(fs(), promoted);

  const std::regex table_line(
      R"(  (\w+): (\d+) filas?, se añadirían (\d+), rechazadas (\d+) \(clave duplicada (\d+),.*)");
  const std::regex value_line(R"(  ([^\[].*)\.(valor_s|valor): '(.*)' -> '(.*)')");
  const std::regex settings_file(R"(Ajustes que se traspasarían a (.+):)");
  const std::regex setting_line(R"(  \[(.+)\] (\S+): '(.*)' -> '(.*)')");
  const std::regex copy_line(
      R"(  (carpeta|archivo) (\S+) -> (\S+): (?:(\d+) archivos?, )?.*?(\d+) bytes\)?)");
  const std::regex room_line(R"(Espacio en \S+: harían falta (?:[^(]*\()?(\d+) bytes.*)");
  std::map<std::string, bool> tables_seen;
  std::map<std::pair<std::string, std::string>, std::string> changed;  // element, column
  std::string file;
  int settings = 0, copies = 0;
  bool room_seen = false;
  std::smatch m;
  for (const std::string& line : SplitLines(plan.out)) {
    if (std::regex_match(line, m, table_line)) {
      const std::string t = m[1];
      tables_seen[t] = true;
      EXPECT_EQ(std::stoll(m[2]), installed_rows[t]) << line;
      EXPECT_EQ(std::stoll(m[3]), RowCount(fs(), promoted, t) - package_rows[t]) << line;
      EXPECT_EQ(std::stoll(m[4]), std::stoll(m[2]) - std::stoll(m[3])) << line;
      EXPECT_EQ(m[5], m[4]) << line;  // the sample's only refusals are duplicate keys
    } else if (std::regex_match(line, m, value_line)) {
      const auto& before = package_settings.at(m[1]);
      EXPECT_EQ(m[2] == "valor_s" ? before.first : before.second, m[3].str()) << line;
      changed[{m[1], m[2]}] = m[4];
    } else if (std::regex_match(line, m, settings_file)) {
      file = m[1];
    } else if (std::regex_match(line, m, setting_line)) {
      ++settings;
      const std::string staged = drive + "\\zentaroDeck_NEW";
      ASSERT_EQ(file.rfind(staged, 0), 0u) << file;
      const std::string rest = file.substr(staged.size());
      EXPECT_EQ(profiles().Read(m[1], m[2], package + rest), m[3].str()) << line;
      EXPECT_EQ(profiles().Read(m[1], m[2], Installed(rest)), m[4].str()) << line;
    } else if (std::regex_match(line, m, copy_line)) {
      ++copies;
      // Sources inside the old installation are in the backup now.
      std::string source = m[2];
      if (source.rfind(Installed("\\"), 0) == 0)
        source = backup + source.substr(Installed("").size());
      const PathSize size = MeasurePath(fs(), source);
      if (m[4].matched) EXPECT_EQ(std::stoull(m[4]), size.files) << line;
      EXPECT_EQ(std::stoull(m[5]), size.bytes) << line;
    } else if (std::regex_match(line, m, room_line)) {
      room_seen = true;
      // No less than the most the drive held, in its blocks: all it holds
      // now, what the swap removed after the staged copy was complete (the
      // two manifests, the unversioned backup removed before the moves).
      const uint64_t held = MeasurePath(fs(), drive + "\\", block).room - room_before +
                            manifests + unversioned;
      EXPECT_GE(std::stoull(m[1]), held) << line;
      EXPECT_EQ(std::stoull(m[1]) % block, 0u) << line;
    }
  }
  for (const std::string& t : tables) EXPECT_TRUE(tables_seen[t]) << t;
  // Every value the real run changed, and only those, with its new value.
  for (const auto& [element, now] : promoted_settings) {
    const auto was = package_settings.at(element);
    for (const auto& [column, before, after] : {std::tuple{"valor_s", was.first, now.first},
                                                std::tuple{"valor", was.second, now.second}}) {
      auto planned = changed.find({element, column});
      if (before == after) EXPECT_TRUE(planned == changed.end()) << element << "." << column;
      else if (planned == changed.end())
        ADD_FAILURE() << element << "." << column << " not planned";
      else EXPECT_EQ(planned->second, after) << element << "." << column;
    }
  }
  EXPECT_EQ(settings, options.sections * options.keys_per_section + 2);
  EXPECT_EQ(copies, 4);  // the package, two folders, one file
  EXPECT_TRUE(room_seen) << plan.out;
  // The memory a user sees the process take, and the part of it the
  // simulated changes took.
  ASSERT_TRUE(std::regex_search(plan.out, m, std::regex(
      R"(Memoria usada por la simulación: .*\((\d+) bytes\) en su punto máximo \(lo que mide el sistema\); los cambios simulados ocuparon hasta .*\((\d+) bytes\)\.)")))
      << plan.out;
  EXPECT_GT(std::stoull(m[1]), std::stoull(m[2]));
}

// A run that fails half-way: its log, appended to what the file held,
// tells each step up to the failure with what it did, and where it stopped;
// a dry run beforehand foresees the same failure.
TEST_F(Cli, LogOfAFailedRunShowsWhereItStopped) {
  MakeSample("2.0.0.0", "3.0.0.0");
  // The licence goes into a folder the package lacks: the file copies fail.
  std::string manifest = SampleManifest(options);
  manifest.replace(manifest.find("archivo_dest_1=\\zentaroDeck_NEW\\licencia.txt"),
                   std::string("archivo_dest_1=\\zentaroDeck_NEW\\licencia.txt").size(),
                   "archivo_dest_1=\\zentaroDeck_NEW\\textos\\licencia.txt");
  fs().DeleteFile(origin + "\\zentaroDeck_NEW\\actualizador.ini", true);
  PutText(fs(), origin + "\\zentaroDeck_NEW\\actualizador.ini", manifest);
  PutText(fs(), drives_.drive(2) + "\\run.log", "una ejecucion anterior\n");
#ifdef _WIN32
  const std::string log_path = drives_.drive(2) + "\\run.log";
#else
  const std::string log_path = drives_.ShellRoot(2) + "/run.log";
#endif

  // The dry run foresees the failure, with the same report, and makes nothing.
  CliResult dry = RunCli(Standard() + " --dry-run");
  EXPECT_EQ(dry.status, 1);
  EXPECT_FALSE(fs().FolderExists(Staged("")));
  CliResult r = RunCli(Standard() + " --log " + Arg(log_path));
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(dry.err, r.err);
  EXPECT_NE(dry.out.find("Resultado: la actualización fallaría en la etapa «copias de archivos»: " +
                         r.err.substr(0, r.err.size() - 1)),
            std::string::npos)
      << dry.out;
  // It foresees what the failed run leaves: the staging folder, measured.
  const PathSize left = MeasurePath(fs(), Staged(""));
  EXPECT_NE(dry.out.find("la actualización fallida dejaría en la unidad la carpeta de trabajo " +
                         Staged("") + ", " + std::to_string(left.files) + " archivos, " +
                         ByteCount(left.bytes)),
            std::string::npos)
      << dry.out;
  std::vector<std::string> log = SplitLines(Lines(Text(drives_.drive(2) + "\\run.log")));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "una ejecucion anterior");

  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d +\d+\.\d{3} s  (.*))");
  std::vector<std::string> steps;
  std::smatch m;
  for (size_t i = 1; i < log.size(); ++i) {
    ASSERT_TRUE(std::regex_match(log[i], m, stamp)) << log[i];
    steps.push_back(m[1]);
  }
  auto has = [&](const std::string& text) {
    for (const std::string& step : steps)
      if (step.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(has("versiones: instalada 2.0.0.0, paquete 3.0.0.0, mínima '': se actualiza"));
  EXPECT_TRUE(has("quitar el atributo de sólo lectura a los archivos de " + Staged("")));
  // The song copy's counts, against the rows the staged database got.
  const std::string staged_db = Staged("\\datos.new");
  const int64_t added = RowCount(fs(), staged_db, "canciones") - PackageContent().songs;
  EXPECT_TRUE(has("Insert INTO canciones IN '" + staged_db + "' SELECT * FROM canciones: " +
                  std::to_string(added) + " filas añadidas, " + std::to_string(20 - added) +
                  " rechazadas (clave duplicada " + std::to_string(20 - added)))
      << Text(drives_.drive(2) + "\\run.log");
  EXPECT_TRUE(has("(idioma.valor_s: 'inglés' -> 'español')"));
  EXPECT_TRUE(has("ajuste [" + SampleSection(1) + "] " + SampleKey(1) + " en " +
                  Staged("\\configuracion.ini") + ": '" + PackagedValue(1, 1) + "' -> '" +
                  InstalledValue(1, 1) + "'"));
  EXPECT_TRUE(has("copia de carpeta " + Installed("\\fotos") + " -> " + Staged("\\fotos") +
                  ": 2 archivos, 128 bytes"));
  // It stopped at the file copy, with the report naming the destination,
  // and went no further.
  const std::string& last = steps.back();
  EXPECT_EQ(last.rfind("ERROR en la etapa «copias de archivos»", 0), 0u) << last;
  EXPECT_NE(last.find("Error 76"), std::string::npos) << last;
  EXPECT_NE(last.find("textos\\licencia.txt"), std::string::npos) << last;
  EXPECT_FALSE(has("mover")) << "the swap never began";
}

#ifndef _WIN32
// Runs stopped in the middle of a step, at a system call of it that strace
// aims at: killed outright (SIGKILL) right as the swap moves the
// installation to its backup, and as it then promotes the staged copy;
// stopped by SIGTERM in the middle of a statement of the database
// carry-over. The log never shows less than the drive: a step the drive
// shows under way or done is in the log, and its last line tells the step
// the run stopped in; a SIGTERM says so in a line of its own.
TEST_F(Cli, LogOfAnInterruptedRunTellsTheStepUnderWay) {
  const char* strace = "/usr/bin/strace";
  ASSERT_EQ(access(strace, X_OK), 0) << strace << " is missing: scripts/install-deps.sh installs it";
  if (std::system((std::string(strace) + " -qq -o /dev/null /bin/true").c_str()) != 0)
    GTEST_SKIP() << strace << " cannot trace here";
  MakeSample("2.0.0.0", "3.0.0.0", 2000);
  const std::string log_file = drives_.drive(2) + "\\run.log";
  const std::string backup = drive + "\\SOPORTE\\zentaroDeck_2.0.0.0";
  // The run, stopped by `signal` at the nth of the calls whose first path,
  // or whose file, is `path` (as strace's -P matches them); the log's lines
  // without their heads.
  auto stopped_run = [&](const std::string& path, const std::string& calls, const char* signal,
                         int nth) {
    if (fs().FileExists(log_file)) fs().DeleteFile(log_file, true);
    const std::string host = drives_.HostPath(path);
    const CliResult r = RunCli(
        "-qq -o /dev/null -P " + Arg(host) + " -P " +
            Arg(std::filesystem::weakly_canonical(host).string()) + " -e trace=" + calls +
            " -e inject=" + calls + ":signal=" + signal + ":when=" + std::to_string(nth) + " " +
            Arg(ACT_CLI_PATH) + " " + Standard() + " --log " + Arg(drives_.ShellRoot(2) + "/run.log"),
        true, strace);
    EXPECT_TRUE(r.status == -1 || r.status > 128) << "not stopped by a signal: " << r.status;
    const std::regex head(R"(\S+ +\d+\.\d{3} s  (.*))");
    std::vector<std::string> lines;
    std::smatch m;
    for (const std::string& line : SplitLines(Text(log_file)))
      if (std::regex_match(line, m, head)) lines.push_back(m[1]);
    return lines;
  };
  auto has = [](const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  };
  const std::string to_backup =
      "mover carpeta " + Installed("") + " -> " + backup;
  const std::string promotion = "mover carpeta " + Staged("") + " -> " + Installed("");

  // Killed as the installation moves: it has not moved, and the log says
  // that it was about to.
  std::vector<std::string> log = stopped_run(Installed(""), "rename", "KILL", 1);
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(has(log, "crear carpeta " + drive + "\\SOPORTE: hecho"));
  EXPECT_EQ(log.back(), "… " + to_backup);
  EXPECT_TRUE(fs().FileExists(Installed("\\zentaroDeck.exe")));
  EXPECT_FALSE(fs().FolderExists(backup));

  // Killed as the staged copy is promoted: the installation is in its
  // backup, and the log says so.
  log = stopped_run(Staged(""), "rename", "KILL", 1);
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(has(log, to_backup + ": hecho"));
  EXPECT_EQ(log.back(), "… " + promotion);
  EXPECT_TRUE(fs().FolderExists(backup));
  EXPECT_TRUE(fs().FolderExists(Staged("")));
  fs().MoveFolder(backup, Installed(""));

  // SIGTERM as the carry-over writes the staged database, with the times in
  // a zone of its own: the last line names the signal and the step the line
  // before began, or the one it ended.
  setenv("TZ", "<-0330>3:30", 1);
  log = stopped_run(Staged("\\datos.new"), "pwrite64", "TERM", 3);
  unsetenv("TZ");
  ASSERT_GE(log.size(), 2u);
  const std::string& before = log[log.size() - 2];
  const std::string began = "… ";
  EXPECT_EQ(log.back(), "INTERRUMPIDA por SIGTERM en la etapa «traspaso de la base de datos», " +
                            (before.starts_with(began) ? "durante: " + before.substr(began.size())
                                                       : "después de: " + before));
  for (const std::string& line : SplitLines(Text(log_file)))
    EXPECT_NE(line.find("-03:30 "), std::string::npos) << line;
}

TEST_F(Cli, NativeOriginIsNamedThroughItsDrive) {
  MakeSample("2.0.0.0", "3.0.0.0");
  CliResult r = RunCli("--drive " + drive + " --origin " + Arg(drives_.ShellRoot(1) + "/disco"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");

  // A host folder outside every drive of the prefix cannot be the origin.
  r = RunCli("--drive " + drive + " --origin " + Arg(drives_.prefix()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("lies on no drive"), std::string::npos) << r.err;
}
#endif

}  // namespace
}  // namespace act::test
