// Settings carry-over and manifest copies on a staged drive through the real
// profile and file-system backends: the edge cases that tell a faithful
// carry-over from one that loses or invents settings.
#include <gtest/gtest.h>

#include "engine/manifest_copies.h"
#include "engine/settings_carry_over.h"
#include "profile/mod_general.h"
#include "platform/file_profile_store.h"
#include "run_fixture.h"
#include "tracing_file_system.h"

namespace act::test {
namespace {

class CarryOver : public RunTest {
 protected:
  void SetUp() override {
    // Installed product and its staged copy side by side, as after staging.
    PutInstallation(fs(), drive, Exe("2.0.0.0"), options);
    PutPackage(fs(), drive, Exe("3.0.0.0"), options);
  }
  void Manifest(const std::string& text) { PutText(fs(), Staged("\\actualizador.ini"), text); }
  void InstalledConfig(const std::string& text) {
    PutText(fs(), Installed("\\configuracion.ini"), text);
  }
  void StagedConfig(const std::string& text) { PutText(fs(), Staged("\\configuracion.ini"), text); }
  std::string StagedValue(const std::string& section, const std::string& key) {
    return profiles().Read(section, key, Staged("\\configuracion.ini"));
  }
  void CarryProduct() { CarrySettings(kProductSettings, RunPaths(drive), profiles()); }
};

TEST_F(CarryOver, OnlyListedNonEmptyValuesArriveAddingSectionsAndKeys) {
  Manifest(
      "[SECCIONES]\nsecciones=2\nseccion_1=General\nseccion_maximo_1=3\n"
      "seccion_2=Nueva\nseccion_maximo_2=1\n"
      "[General]\nparametro_1=volumen\nparametro_2=vacio\nparametro_3=solo_instalado\n"
      "[Nueva]\nparametro_1=clave\n");
  InstalledConfig(
      "[General]\nvolumen=80\nvacio=\nsolo_instalado=sí\nno_listado=secreto\n"
      "[Nueva]\nclave=valor\n[Otra]\nx=1\n");
  StagedConfig("[General]\nvolumen=50\nvacio=paquete\n");

  CarryProduct();

  EXPECT_EQ(StagedValue("General", "volumen"), "80");
  EXPECT_EQ(StagedValue("General", "vacio"), "paquete");     // empty installed value
  EXPECT_EQ(StagedValue("General", "solo_instalado"), "sí");  // key added
  EXPECT_EQ(StagedValue("Nueva", "clave"), "valor");           // section added
  EXPECT_EQ(StagedValue("General", "no_listado"), "");         // never listed
  EXPECT_EQ(StagedValue("Otra", "x"), "");
}

TEST_F(CarryOver, LongValueArrivesCutTo254) {
  std::string long_value;
  for (int i = 0; i < 300; ++i) long_value += static_cast<char>('a' + i % 26);
  Manifest("[SECCIONES]\nsecciones=1\nseccion_1=G\nseccion_maximo_1=1\n[G]\nparametro_1=largo\n");
  InstalledConfig("[G]\nlargo=" + long_value + "\n");
  CarryProduct();
  EXPECT_EQ(StagedValue("G", "largo"), long_value.substr(0, 254));
  EXPECT_EQ(Text(Staged("\\configuracion.ini")).find(long_value.substr(0, 255)),
            std::string::npos);
}

TEST_F(CarryOver, MissingSectionCountSkipsOnlyThatSection) {
  Manifest(
      "[SECCIONES]\nsecciones=3\nseccion_1=A\nseccion_maximo_1=1\nseccion_2=B\n"
      "seccion_3=C\nseccion_maximo_3=1\n[A]\nparametro_1=k\n[B]\nparametro_1=k\n"
      "[C]\nparametro_1=k\n");
  InstalledConfig("[A]\nk=a\n[B]\nk=b\n[C]\nk=c\n");
  StagedConfig("");
  CarryProduct();
  EXPECT_EQ(StagedValue("A", "k"), "a");
  EXPECT_EQ(StagedValue("B", "k"), "");
  EXPECT_EQ(StagedValue("C", "k"), "c");
}

TEST_F(CarryOver, SectionCountsRoundHalvesToEven) {
  for (auto [count, carried] : {std::pair{"2.5", 2}, std::pair{"3.5", 4}, std::pair{"x3", 0}}) {
    SCOPED_TRACE(count);
    std::string manifest = std::string("[SECCIONES]\nsecciones=") + count + "\n";
    std::string installed;
    for (int i = 1; i <= 5; ++i) {
      std::string n = std::to_string(i);
      manifest += "seccion_" + n + "=S" + n + "\nseccion_maximo_" + n + "=1\n";
      installed += "[S" + n + "]\nk=v" + n + "\n";
    }
    for (int i = 1; i <= 5; ++i) manifest += "[S" + std::to_string(i) + "]\nparametro_1=k\n";
    Manifest(manifest);
    InstalledConfig(installed);
    StagedConfig("");
    CarryProduct();
    for (int i = 1; i <= 5; ++i)
      EXPECT_EQ(StagedValue("S" + std::to_string(i), "k"),
                i <= carried ? "v" + std::to_string(i) : "")
          << i;
  }
}

// A carried value that cannot be written ends the run before the swap: the
// customer's value must not be left behind in the backup without a word.
TEST_F(CarryOver, ASearchSettingThatCannotBeWrittenEndsTheRunBeforeTheSwap) {
  const std::string staged = Staged("\\supersearch\\settings.ini");
  fs().SetAttributes(staged, kAttrReadOnly);
  const std::string before = Text(staged);
  try {
    CarrySettings(kSearchSettings, RunPaths(drive), profiles());
    ADD_FAILURE() << "a refused write went unheard";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPermissionDenied);
    EXPECT_EQ(e.detail(), staged + " (writing [Busqueda] modo)");
  }
  EXPECT_EQ(Text(staged), before);
  fs().DeleteFolder(Staged(""), true);

  // A disk that refuses the staged file whole (a full drive) stops the run
  // with its own error, as does a folder where the file belongs.
  struct FullDrive : TracingFileSystem {
    using TracingFileSystem::TracingFileSystem;
    std::string full;
    void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& d) override {
      if (p == full) throw Error(kErrDiskFull, p);
      TracingFileSystem::WriteFileBytes(p, d);
    }
  } full_drive(fs());
  full_drive.full = staged;
  const std::string packaged = origin + "\\zentaroDeck_NEW\\supersearch\\settings.ini";
  for (int error : {kErrDiskFull, kErrPermissionDenied}) {
    SCOPED_TRACE(error);
    PutPackage(fs(), origin, Exe("3.0.0.0"), options);
    if (error == kErrPermissionDenied) {
      fs().DeleteFile(packaged, true);
      PutText(fs(), packaged + "\\leeme.txt", "no es un archivo de ajustes\n");
    }
    const Snapshot installation = TakeSnapshot(fs(), Installed(""));
    // The full drive through our own profile functions, which reach the
    // files through it; the folder through the platform's.
    std::unique_ptr<ProfileStore> store = NewFileProfileStore(full_drive);
    RunServices services = error == kErrDiskFull ? RunServices{full_drive, *store, boxes}
                                                 : RunServices{fs(), profiles(), boxes};
    try {
      RunUpdate({drive, origin}, services);
      ADD_FAILURE() << "the run completed";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), error);
      EXPECT_NE(std::string(e.what()).find(staged), std::string::npos) << e.what();
    }
    EXPECT_EQ(TakeSnapshot(fs(), Installed("")), installation);
    EXPECT_FALSE(fs().FolderExists(drive + "\\SOPORTE"));
    EXPECT_TRUE(boxes.shown.empty());
    fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  }
}

TEST_F(CarryOver, AccentedWindows1252ValuesArriveIntact) {
  // Written byte by byte as the product writes them, not by our writer.
  Manifest("[SECCIONES]\nsecciones=1\nseccion_1=Música\nseccion_maximo_1=1\n"
           "[Música]\nparametro_1=carpeta\n");
  PutFile(fs(), Installed("\\configuracion.ini"),
          {'[', 'M', 0xFA, 's', 'i', 'c', 'a', ']', '\r', '\n', 'c', 'a', 'r', 'p', 'e', 't',
           'a', '=', 'd', ':', '\\', 'c', 'a', 'n', 'c', 'i', 'o', 'n', 'e', 's', ' ', 0xF1, 0x80,
           '\r', '\n'});
  CarryProduct();
  EXPECT_EQ(StagedValue("Música", "carpeta"), "d:\\canciones ñ€");
  std::string staged = Text(Staged("\\configuracion.ini"));
  EXPECT_NE(staged.find("canciones \xF1\x80"), std::string::npos);  // stored as Windows-1252
}

TEST_F(CarryOver, FolderCopiesMergeIntoExistingFoldersAndSkipMissingSources) {
  Manifest(
      "[COPIA_CARPETAS]\ncarpetas=3\n"
      "carpeta_orig_1=\\zentaroDeck\\no_existe\ncarpeta_dest_1=\\zentaroDeck_NEW\\no_existe\n"
      "carpeta_orig_2=\\zentaroDeck\\skins\ncarpeta_dest_2=\\zentaroDeck_NEW\\skins\n"
      "carpeta_orig_3=zentaroDeck\\fotos\ncarpeta_dest_3=zentaroDeck_NEW\\fotos\n"
      "[COPIA_ARCHIVOS]\narchivos=2\n"
      "archivo_orig_1=\\zentaroDeck\\licencia.txt\narchivo_dest_1=\\zentaroDeck_NEW\\skins\\nueva1.skn\n");
  // The staged skins folder exists and holds a file of the same name.
  PutText(fs(), Staged("\\skins\\piel1.skn"), "del paquete\n");
  std::string installed_skin = Text(Installed("\\skins\\piel1.skn"));

  CopyListedFolders(RunPaths(drive), fs(), profiles());
  CopyListedFiles(RunPaths(drive), fs(), profiles());

  EXPECT_FALSE(fs().FolderExists(Staged("\\no_existe")));
  EXPECT_EQ(Text(Staged("\\skins\\piel1.skn")), installed_skin);  // overwritten
  EXPECT_TRUE(fs().FileExists(Staged("\\skins\\piel2.skn")));
  // A value without a leading backslash is glued to the drive letter, which
  // names the drive's current folder: its root here.
  EXPECT_EQ(TakeSnapshot(fs(), Staged("\\fotos")), TakeSnapshot(fs(), Installed("\\fotos")));
  // A file copy replaces the destination file; entry 2 has no source and is
  // skipped rather than copying "the drive".
  EXPECT_EQ(Text(Staged("\\skins\\nueva1.skn")), "licencia del cliente\r\n");
}

TEST_F(CarryOver, StagesNeverModifyTheManifests) {
  std::string manifest = SampleManifest(options) + "[SECCIONES_FALTA]\nsecciones=4\n";
  Manifest(manifest + "[COPIA_ARCHIVOS]\narchivos=3\n");  // entries 2, 3 missing
  auto before = fs().ReadFileBytes(Staged("\\actualizador.ini"));
  auto before_ss = fs().ReadFileBytes(Staged("\\update_ss.ini"));
  CarryProduct();
  CopyListedFolders(RunPaths(drive), fs(), profiles());
  CopyListedFiles(RunPaths(drive), fs(), profiles());
  CarrySettings(kSearchSettings, RunPaths(drive), profiles());
  EXPECT_EQ(fs().ReadFileBytes(Staged("\\actualizador.ini")), before);
  EXPECT_EQ(fs().ReadFileBytes(Staged("\\update_ss.ini")), before_ss);
  // And the installed files the values came from are untouched too.
  EXPECT_EQ(profiles().Read(SampleSection(1), SampleKey(1), Staged("\\configuracion.ini")),
            InstalledValue(1, 1));
}

}  // namespace
}  // namespace act::test

namespace act::test {
namespace {

// The profile routines over the platform's own profile functions.
using ProfileRoutines = RunTest;

TEST_F(ProfileRoutines, DefaultsAreWrittenBackOnlyWhenGivenAndWritable) {
  const std::string file = drive + "\\p.ini";
  EXPECT_EQ(leeIni(profiles(), "S", "k", "", file), "");
  EXPECT_FALSE(fs().FileExists(file));  // an empty default creates nothing

  EXPECT_EQ(leeIni(profiles(), "S", "k", "1", file), "1");
  EXPECT_EQ(profiles().Read("S", "k", file), "1");

  PutText(fs(), file, "[S]\nvacio=\nlargo=" + std::string(300, 'x') + "\n");
  EXPECT_EQ(leeIni(profiles(), "S", "vacio", "d", file), "d");
  EXPECT_EQ(profiles().Read("S", "vacio", file), "d");
  EXPECT_EQ(leeIni(profiles(), "S", "largo", "", file), std::string(254, 'x'));

  auto before = fs().ReadFileBytes(file);
  EXPECT_EQ(leeIni(profiles(), "S", "largo", "otro", file), std::string(254, 'x'));
  fs().SetAttributes(file, kAttrReadOnly);
  EXPECT_FALSE(escribeIni(profiles(), "S", "nueva", "v", file));
  EXPECT_EQ(leeIni(profiles(), "S", "falta", "d", file), "d");  // refused write-back ignored
  EXPECT_EQ(fs().ReadFileBytes(file), before);
}

}  // namespace
}  // namespace act::test
