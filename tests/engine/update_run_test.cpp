// The update run end to end on temporary drives through the real file system
// and profile backends: the layout it leaves, its refusals, and where it
// stops when a step fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/file_tree.h"
#include "run_fixture.h"
#include "tracing_file_system.h"

namespace act::test {
namespace {

const ShownBox kDone{"Fin De La actualización", 64, "z-entaro"};
const ShownBox kUpToDate{"Advertencia!: La Versión Ya Esta Actualizada", 16, "z-entaro"};
const ShownBox kNewer{"Advertencia!: La Versión Actual es Más Nueva", 16, "z-entaro"};

using UpdateRun = RunTest;

TEST_F(UpdateRun, CompletedRunLeavesNewInstallationAndVersionBackup) {
  MakeSample("2.0.0.0", "3.0.0.0");
  Snapshot old_installation = TakeSnapshot(fs(), Installed(""));
  Snapshot package = TakeSnapshot(fs(), origin);

  EXPECT_EQ(Run(), RunOutcome::kCompleted);

  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kDone});
  EXPECT_FALSE(fs().FolderExists(Staged("")));
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0"), old_installation);
  EXPECT_EQ(TakeSnapshot(fs(), origin), package);  // the package is only read

  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
  EXPECT_EQ(Text(Installed("\\datos.mdb")), "base de datos nueva");
  EXPECT_FALSE(fs().FileExists(Installed("\\datos.new")));
  EXPECT_FALSE(fs().FileExists(Installed("\\actualizador.ini")));
  EXPECT_FALSE(fs().FileExists(Installed("\\update_ss.ini")));
  // Carried: listed settings, folders and files; kept: the unlisted key.
  EXPECT_EQ(profiles().Read(SampleSection(2), SampleKey(3), Installed("\\configuracion.ini")),
            InstalledValue(2, 3));
  EXPECT_EQ(profiles().Read("Privado", "serie", Installed("\\configuracion.ini")), "ZD-0000");
  EXPECT_EQ(profiles().Read("Busqueda", "modo", Installed("\\supersearch\\settings.ini")),
            "rápido");
  EXPECT_EQ(profiles().Read("Busqueda", "idioma", Installed("\\supersearch\\settings.ini")), "en");
  EXPECT_TRUE(fs().FileExists(Installed("\\skins\\piel2.skn")));
  EXPECT_TRUE(fs().FileExists(Installed("\\skins\\nueva1.skn")));
  EXPECT_TRUE(fs().FileExists(Installed("\\fotos\\foto1.jpg")));
  EXPECT_EQ(Text(Installed("\\licencia.txt")), "licencia del cliente\r\n");

  // A second press with the same package stops at the equal check.
  boxes.shown.clear();
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kUpToDate});
}

// The rules of the file-system steps, over all a completed run did, settings writes included.
TEST_F(UpdateRun, CompletedRunKeepsTheFileSystemRules) {
  MakeSample("2.0.0.0", "3.0.0.0");
  // Left by earlier runs, so that the guarded deletions take place.
  const std::string support = drive + "\\SOPORTE";
  for (const std::string& old : {Staged(""), support + "\\zentaroDeck", support + "\\zentaroDeck_2.0.0.0"})
    PutText(fs(), old + "\\x.txt", "x\n");
  TracingFileSystem tracing(fs());
  std::unique_ptr<ProfileStore> traced_profiles = NewPlatformProfileStore(tracing);
  RunServices services{tracing, *traced_profiles, boxes};
  ASSERT_EQ(RunUpdate({drive + " [DATOS]", origin}, services), RunOutcome::kCompleted);

  auto in = [](const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder + "\\");
  };
  // The swap's note is the run's own file, written and removed around the
  // moves; the rules below are about the product's folders.
  std::vector<TracingFileSystem::Call> calls;
  for (const TracingFileSystem::Call& c : tracing.calls)
    if (!c.path.starts_with(support + "\\actualizacion_en_curso.")) calls.push_back(c);
  bool moved_out = false;
  for (size_t n = 0; n < calls.size(); ++n) {
    const TracingFileSystem::Call& c = calls[n];
    // Nothing outside the package and the product's folders is touched.
    for (const std::string& p : {c.path, c.destination})
      EXPECT_TRUE(p.empty() || p == origin + "\\zentaroDeck_NEW" || in(p, Installed("")) ||
                  in(p, Staged("")) || in(p, support)) << c;
    // The installed files are only moved, never written: nothing under the
    // installation folder changes before it moves to its backup.
    moved_out |= c.op == "MoveFolder" && c.path == Installed("");
    EXPECT_TRUE(moved_out || c.op.ends_with("Exists") || (!in(c.destination, Installed("")) &&
                (c.op.starts_with("Copy") || !in(c.path, Installed(""))))) << c;
    // Each copy, folder move, deletion and creation comes right after the
    // existence test of one of its paths (asked then, never cached), or after
    // the deletion that test led to. The move of the installation to its
    // backup comes after the unversioned backup's test and deletion too,
    // so that the swap's two moves follow each other directly.
    if (!c.op.starts_with("Copy") && !c.op.starts_with("Delete") && c.op != "MoveFolder" &&
        c.op != "CreateFolder") continue;
    auto about = [&](size_t k) { return calls.at(k).path == c.path || calls.at(k).path == c.destination; };
    size_t before = n;
    if (c.op == "MoveFolder" && c.path == Installed(""))
      while (calls.at(before - 1).path == support + "\\zentaroDeck") --before;
    const size_t k = calls.at(before - 1).op.starts_with("Delete") && about(before - 1) ? before - 2 : before - 1;
    EXPECT_TRUE(calls.at(k).op.ends_with("Exists") && about(k)) << c;
  }
}

// The database stage, when there is one, runs first among the carry-over
// stages, with the staged database writable and the current version.
TEST_F(UpdateRun, DatabaseStageRunsFirstWithDriveAndCurrentVersion) {
  struct Recorder : DatabaseCarryOver {
    RunTest* test;
    std::vector<std::string> calls;
    void traspasaBaseDatos(const RunPaths& paths, const std::string& version,
                           RunObserver&) override {
      const std::string& drive = paths.drive;
      calls.push_back(drive + " " + version);
      FileSystem& fs = test->drives_.fs();
      EXPECT_EQ(fs.GetAttributes(drive + "\\zentaroDeck_NEW\\datos.new") & kAttrReadOnly, 0u);
      // No settings carried yet.
      EXPECT_EQ(test->drives_.profiles().Read(SampleSection(1), SampleKey(1),
                                              drive + "\\zentaroDeck_NEW\\configuracion.ini"),
                PackagedValue(1, 1));
    }
  } database;
  database.test = this;
  MakeSample("2.0.0.0", "3.0.0.0");
  fs().SetAttributes(origin + "\\zentaroDeck_NEW\\datos.new", kAttrReadOnly);
  RunServices services{fs(), profiles(), boxes, &database};
  EXPECT_EQ(RunUpdate({drive, origin}, services), RunOutcome::kCompleted);
  EXPECT_EQ(database.calls, std::vector<std::string>{drive + " 2.0.0.0"});
}

// The three refusals show their message while the staging folder is still
// there, then remove it; nothing else on any drive changes.
struct Refusal {
  const char* installed;
  const char* packaged;
  const char* minimo;
  const char* message;
};

void PrintTo(const Refusal& r, std::ostream* os) {
  *os << r.installed << " -> " << r.packaged << " (minimo '" << r.minimo << "')";
}

class UpdateRunRefusal : public RunTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UpdateRunRefusal, ShowsItsMessageThenRemovesOnlyTheStagingFolder) {
  const Refusal& r = GetParam();
  options.minimo = r.minimo;
  MakeSample(r.installed, r.packaged);
  Snapshot target = TakeSnapshot(fs(), drive + "\\");
  Snapshot package = TakeSnapshot(fs(), origin);
  bool staged_while_shown = false;
  boxes.on_show = [&] { staged_while_shown = fs().FolderExists(Staged("")); };

  EXPECT_EQ(Run(), RunOutcome::kRefused);

  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{r.message, 16, "z-entaro"}}));
  EXPECT_TRUE(staged_while_shown);
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), target);
  EXPECT_EQ(TakeSnapshot(fs(), origin), package);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateRunRefusal,
    ::testing::Values(
        Refusal{"2.0.0.0", "3.0.0.0", "2.5",
                "Advertencia!: La Versión actual:2.0.0.0 No se puede actualizar"},
        Refusal{"2.0.0.0", "2.0.0.0", "", "Advertencia!: La Versión Ya Esta Actualizada"},
        Refusal{"3.0.0.0", "2.0.0.0", "", "Advertencia!: La Versión Actual es Más Nueva"},
        // As texts 1.9 is above 1.10.
        Refusal{"1.9.0.0", "1.10.0.0", "", "Advertencia!: La Versión Actual es Más Nueva"}));

TEST_F(UpdateRun, TenAfterNineAsTextsProceeds) {
  MakeSample("1.10.0.0", "1.9.0.0");
  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  EXPECT_TRUE(fs().FolderExists(drive + "\\SOPORTE\\zentaroDeck_1.10.0.0"));
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "1.9.0.0");
}

TEST_F(UpdateRun, MinimoMissingOrEqualLetsTheRunThrough) {
  options.minimo = "";  // no key at all
  MakeSample("2.0.0.0", "3.0.0.0");
  EXPECT_EQ(Run(), RunOutcome::kCompleted);

  fs().DeleteFolder(Installed(""), true);
  options.minimo = "2.0.0.0";  // equal: the test is strictly lower
  MakeSample("2.0.0.0", "3.0.0.0");
  fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  PutPackage(fs(), origin, Exe("3.0.0.0"), options);
  boxes.shown.clear();
  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kDone});
}

TEST_F(UpdateRun, LeftoverStagingFolderWithReadOnlyFilesIsReplaced) {
  MakeSample("2.0.0.0", "3.0.0.0");
  PutText(fs(), Staged("\\viejo\\resto.txt"), "de una ejecución anterior\n");
  fs().SetAttributes(Staged("\\viejo\\resto.txt"), kAttrReadOnly);
  PutText(fs(), Staged("\\actualizador.ini"), "[VERSIONES]\nminimo=9\n");
  fs().SetAttributes(Staged("\\actualizador.ini"), kAttrReadOnly);

  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  EXPECT_FALSE(fs().FolderExists(Installed("\\viejo")));
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kDone});
}

TEST_F(UpdateRun, PackageWithoutConfigurationOrDatabaseFailsBeforeCarryOver) {
  for (const char* missing : {"\\configuracion.ini", "\\datos.new"}) {
    SCOPED_TRACE(missing);
    MakeSample("2.0.0.0", "3.0.0.0");
    fs().DeleteFile(origin + "\\zentaroDeck_NEW" + missing, true);
    Snapshot installation = TakeSnapshot(fs(), Installed(""));

    Error e = RunExpectingError();
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    EXPECT_TRUE(fs().FolderExists(Staged("")));  // left behind
    // No carry-over ran: the staged settings are still the package's.
    EXPECT_EQ(profiles().Read(SampleSection(1), SampleKey(1), Staged("\\configuracion.ini")),
              std::string(missing) == "\\datos.new" ? PackagedValue(1, 1) : "");
    EXPECT_EQ(TakeSnapshot(fs(), Installed("")), installation);
    EXPECT_TRUE(boxes.shown.empty());
    fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  }
}

TEST_F(UpdateRun, PackageHoldingDatosMdbFailsAtTheRenameWithInstallationInPlace) {
  MakeSample("2.0.0.0", "3.0.0.0");
  PutFile(fs(), origin + "\\zentaroDeck_NEW\\datos.mdb", {'x'});
  Snapshot installation = TakeSnapshot(fs(), Installed(""));

  Error e = RunExpectingError();
  EXPECT_EQ(e.number(), kErrFileAlreadyExists);
  EXPECT_EQ(TakeSnapshot(fs(), Installed("")), installation);
  EXPECT_TRUE(fs().FileExists(Staged("\\datos.new")));
  // The carry-over had already run.
  EXPECT_EQ(profiles().Read(SampleSection(1), SampleKey(1), Staged("\\configuracion.ini")),
            InstalledValue(1, 1));
  EXPECT_FALSE(fs().FolderExists(drive + "\\SOPORTE"));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(UpdateRun, BackupOfTheSameVersionIsReplacedOthersStayUnversionedGoes) {
  MakeSample("2.0.0.0", "3.0.0.0");
  PutText(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\antiguo.txt", "copia vieja\n");
  PutText(fs(), drive + "\\SOPORTE\\zentaroDeck_1.9.0.0\\otro.txt", "otra versión\n");
  PutText(fs(), drive + "\\SOPORTE\\zentaroDeck\\suelto.txt", "sin versión\n");
  fs().SetAttributes(drive + "\\SOPORTE\\zentaroDeck\\suelto.txt", kAttrReadOnly);
  Snapshot installation = TakeSnapshot(fs(), Installed(""));

  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0"), installation);
  EXPECT_TRUE(fs().FileExists(drive + "\\SOPORTE\\zentaroDeck_1.9.0.0\\otro.txt"));
  EXPECT_FALSE(fs().FolderExists(drive + "\\SOPORTE\\zentaroDeck"));
}

// Every file copied from a disc is read-only. The staged copy is the run's
// own, so the run writes and deletes in it as in any other; what the listed
// copies bring from the installation keeps the customer's attributes.
TEST_F(UpdateRun, PackageOnAReadOnlyMediumCompletesAndCarriesEverySetting) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string package = origin + "\\zentaroDeck_NEW";
  ForEachFileIn(fs(), package, [&](const std::string& p) { fs().SetAttributes(p, kAttrReadOnly); });
  fs().SetAttributes(Installed("\\licencia.txt"), kAttrReadOnly);

  EXPECT_EQ(Run(), RunOutcome::kCompleted);

  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kDone});
  for (int i = 1; i <= options.sections; ++i)
    for (int j = 1; j <= options.keys_per_section; ++j)
      EXPECT_EQ(profiles().Read(SampleSection(i), SampleKey(j), Installed("\\configuracion.ini")),
                InstalledValue(i, j));
  const std::string search = Installed("\\supersearch\\settings.ini");
  EXPECT_EQ(profiles().Read("Busqueda", "modo", search), "rápido");
  EXPECT_EQ(profiles().Read("Busqueda", "ruta", search), "d:\\música");
  EXPECT_FALSE(fs().FileExists(Installed("\\actualizador.ini")));
  EXPECT_FALSE(fs().FileExists(Installed("\\update_ss.ini")));
  EXPECT_EQ(fs().GetAttributes(Installed("\\zentaroDeck.exe")) & kAttrReadOnly, 0u);
  EXPECT_EQ(fs().GetAttributes(Installed("\\skins\\nueva1.skn")) & kAttrReadOnly, 0u);
  EXPECT_EQ(fs().GetAttributes(Installed("\\licencia.txt")) & kAttrReadOnly, uint32_t{kAttrReadOnly});
  // The medium is only read.
  EXPECT_EQ(fs().GetAttributes(package + "\\update_ss.ini") & kAttrReadOnly, uint32_t{kAttrReadOnly});

  boxes.shown.clear();
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kUpToDate});
}

TEST_F(UpdateRun, UpdaterAtTheRootOfAnotherDrive) {
  const std::string root = drives_.drive(1) + "\\";
  PutInstallation(fs(), drive, Exe("2.0.0.0"), options);
  PutPackage(fs(), root, Exe("3.0.0.0"), options);
  TracingFileSystem tracing(fs());
  RunServices services{tracing, profiles(), boxes};
  EXPECT_EQ(RunUpdate({drive, root}, services), RunOutcome::kCompleted);
  // The package path holds two backslashes in a row; it is used unchanged.
  const TracingFileSystem::Call copy{"CopyFolder", root + "\\zentaroDeck_NEW",
                                     drive + "\\zentaroDeck_NEW", "true"};
  EXPECT_NE(std::find(tracing.calls.begin(), tracing.calls.end(), copy), tracing.calls.end());
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
  EXPECT_TRUE(fs().FolderExists(root + "\\zentaroDeck_NEW"));
}

TEST_F(UpdateRun, UpdaterAtTheRootOfTheTargetDriveIsRefusedBeforeAnythingIsTouched) {
  PutInstallation(fs(), drive, Exe("2.0.0.0"), options);
  PutPackage(fs(), drive + "\\", Exe("3.0.0.0"), options);
  Snapshot before = TakeSnapshot(fs(), drive + "\\");
  RunServices services{fs(), profiles(), boxes};
  std::string upper = drive;
  upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
  for (const std::string& folder : {drive + "\\", upper + "\\", drive}) {
    SCOPED_TRACE(folder);
    boxes.shown.clear();
    EXPECT_EQ(RunUpdate({drive, folder}, services), RunOutcome::kRefused);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, 16);
    EXPECT_EQ(boxes.shown[0].title, "z-entaro");
    EXPECT_NE(boxes.shown[0].text.find("No se puede actualizar desde"), std::string::npos);
    EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
  }
}

// Bad input ends the run with an error naming the file; the drive keeps what
// the steps before made of it.
TEST_F(UpdateRun, DamagedMainExecutableStopsAfterStaging) {
  struct Case {
    const char* what;
    bool installed;
    std::function<void(const std::string&)> damage;
  };
  std::vector<Case> cases = {
      {"installed missing", true, [&](const std::string& p) { fs().DeleteFile(p, true); }},
      {"installed truncated", true,
       [&](const std::string& p) {
         auto bytes = Exe("2.0.0.0");
         bytes.resize(bytes.size() / 3);
         fs().WriteFileBytes(p, bytes);
       }},
      {"installed not PE", true, [&](const std::string& p) { PutText(fs(), p, "MZ texto\n"); }},
      {"packaged not PE", false, [&](const std::string& p) { PutText(fs(), p, "hola\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeSample("2.0.0.0", "3.0.0.0");
    std::string exe = c.installed ? Installed("\\zentaroDeck.exe")
                                  : origin + "\\zentaroDeck_NEW\\zentaroDeck.exe";
    c.damage(exe);
    Snapshot installation = TakeSnapshot(fs(), Installed(""));

    Error e = RunExpectingError();
    EXPECT_NE(std::string(e.what()).find("zentaroDeck.exe"), std::string::npos) << e.what();
    EXPECT_TRUE(fs().FolderExists(Staged("")));
    EXPECT_EQ(TakeSnapshot(fs(), Installed("")), installation);
    EXPECT_TRUE(boxes.shown.empty());
    fs().DeleteFolder(Installed(""), true);
    fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  }
}

TEST_F(UpdateRun, ManifestThatIsNoProfileFileStopsTheRun) {
  for (const char* manifest : {"\\actualizador.ini", "\\update_ss.ini"}) {
    for (bool as_folder : {false, true}) {
      SCOPED_TRACE(std::string(manifest) + (as_folder ? " folder" : " binary"));
      MakeSample("2.0.0.0", "3.0.0.0");
      std::string path = origin + "\\zentaroDeck_NEW" + manifest;
      fs().DeleteFile(path, true);
      if (as_folder)
        fs().CreateFolder(path);
      else
        PutFile(fs(), path, {'[', 'V', 0, 0xFF, 0x00, '=', 1});
      Snapshot installation = TakeSnapshot(fs(), Installed(""));

      Error e = RunExpectingError();
      EXPECT_EQ(e.number(), kErrPathFileAccess);
      EXPECT_NE(std::string(e.what()).find(manifest), std::string::npos) << e.what();
      EXPECT_EQ(TakeSnapshot(fs(), Installed("")), installation);
      EXPECT_TRUE(fs().FolderExists(Staged("")));
      fs().DeleteFolder(Installed(""), true);
      fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
    }
  }
}

TEST_F(UpdateRun, UnmappedDriveOrMissingPackageFolderChangesNothing) {
  MakeSample("2.0.0.0", "3.0.0.0");
  RunServices services{fs(), profiles(), boxes};
  Snapshot target = TakeSnapshot(fs(), drive + "\\");

  try {
    RunUpdate({"k:", origin}, services);
    ADD_FAILURE() << "ran on an unmapped drive";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("k:\\"), std::string::npos) << e.what();
  }
  try {
    RunUpdate({drive, drives_.drive(2) + "\\nada"}, services);
    ADD_FAILURE() << "ran without a package";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("nada\\zentaroDeck_NEW"), std::string::npos) << e.what();
  }
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), target);
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace act::test
