// actualizador-cli as an operator's script runs it (cli_fixture.h), on a
// realistic sample.
#include <gtest/gtest.h>

#include "cli_fixture.h"

namespace act::test {
namespace {

TEST_F(Cli, RealisticUpdateCarriesEveryListedSettingKeyByKey) {
  options.sections = 12;
  options.keys_per_section = 25;
  options.skin_files = 40;
  options.photo_files = 60;
  options.media_bytes = 4096;
  options.minimo = "1.10.0.0";
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

#ifndef _WIN32
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
