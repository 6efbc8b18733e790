// Drives as customers' machines have them, not as a fresh install leaves
// them: folders that are links, a drive letter that is another's alias, a
// package built wrong, a settings file that cannot be read. Each case runs
// the whole update through actualizador-cli and holds it to the promises:
// no byte outside the product's folders changes, and the installation is
// whole in \zentaroDeck or in its backup.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "unusual_drives.h"

#ifdef _WIN32
#include "platform/win32/win32_errors.h"
#endif

namespace act::test {
namespace {

TEST_F(UnusualDrives, ADeletedLinkGoesAsALinkAndWhatItLeadsToStays) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string music = PutMusic();
  // An earlier backup of this version, which the run replaces, holding a
  // link to the music; and the unversioned backup, which every run
  // removes, being itself such a link.
  MakeFolders(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0");
  drives_.MakeFolderLink(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\musica", music);
  drives_.MakeFolderLink(drive + "\\SOPORTE\\zentaroDeck", music);
  const Snapshot outside = Outside(), installation = Installation();

  CliResult r = RunCli(Standard());
  EXPECT_EQ(Outside(), outside);
  EXPECT_TRUE(Installation() == installation || Backup() == installation);
#ifdef _WIN32
  if (act::testing::RunningUnderWine()) {
    // Wine 8 cannot remove a link to a folder that holds files:
    // RemoveDirectoryW answers ERROR_DIR_NOT_EMPTY. The run ends at the
    // first link, before the installation has moved.
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\musica"), std::string::npos)
        << r.err;
    EXPECT_EQ(Installation(), installation);
    return;
  }
#endif
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs().ListFolder(drive + "\\SOPORTE"), std::vector<std::string>{"zentaroDeck_2.0.0.0"});
  EXPECT_EQ(Backup(), installation);
  EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
}

TEST_F(UnusualDrives, APackageThatIsTheStagingFolderByAnotherNameIsRefused) {
  // A package at the root of the target drive, which is the staging
  // folder, and one in a folder inside it.
  PutInstallation(fs(), drive, Exe("2.0.0.0"), options);
  PutPackage(fs(), drive + "\\", Exe("3.0.0.0"), options);
  PutPackage(fs(), Staged("\\medio"), Exe("3.0.0.0"), options);
  const Snapshot before = TakeSnapshot(fs(), drive + "\\");
  // The updater started from them through another letter for the drive.
  const std::string alias = drives_.AddAlias(0);
  std::vector<std::string> origins = {alias + "\\", alias + "\\zentaroDeck_NEW\\medio"};
#ifdef _WIN32
  // And through the staging folder's short name.
  wchar_t short_name[MAX_PATH] = L"";
  GetShortPathNameW(Wide(Staged("")).c_str(), short_name, MAX_PATH);
  ASSERT_NE(Narrow(short_name), Staged("")) << "no short name";
  origins.push_back(Narrow(short_name) + "\\medio");
#endif
  for (const std::string& origin : origins) {
    SCOPED_TRACE(origin);
    CliResult r = RunCli("--drive " + drive + " --origin " + Arg(origin));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "Advertencia!: No se puede actualizar desde " + origin +
                         ": el paquete de actualización es la carpeta " + Staged("") +
                         ". Ejecute el actualizador desde otra carpeta o unidad.\n");
    EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
  }
}

TEST_F(UnusualDrives, AFolderWhereThePackagesSettingsFileBelongsStopsTheRun) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string settings = origin + "\\zentaroDeck_NEW\\configuracion.ini";
  fs().DeleteFile(settings, true);
  PutText(fs(), settings + "\\leeme.txt", "no es un archivo de configuración\n");
  const Snapshot outside = Outside(), installation = Installation();

  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 53: File not found: " + Staged("\\configuracion.ini") + "\n");
  EXPECT_EQ(Installation(), installation);
  EXPECT_EQ(Outside(), outside);
}

// A settings file that is there but cannot be read ends the run with its
// error; it must not read as empty and leave the customer's settings behind.
TEST_F(UnusualDrives, ASettingsFileThatCannotBeReadStopsTheRun) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string settings = Installed("\\configuracion.ini");
  const Snapshot outside = Outside(), installation = Installation();
#ifdef _WIN32
  // Another program holds the file and lets no one else open it.
  HANDLE held = CreateFileW(Wide(settings).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  CliResult r = RunCli(Standard());
  CloseHandle(held);
  EXPECT_EQ(r.err, "Error 70: Permission denied: " + settings + "\n");
#else
  // Reads of the process's own memory at offset 0 fail with EIO, whoever
  // runs the test (the superuser reads every file, whatever its mode).
  const std::string host = drives_.HostPath(settings);
  const std::vector<uint8_t> bytes = fs().ReadFileBytes(settings);
  fs().DeleteFile(settings, true);
  ASSERT_EQ(symlink("/proc/self/mem", host.c_str()), 0);
  CliResult r = RunCli(Standard());
  char target[64] = {};
  EXPECT_EQ(readlink(host.c_str(), target, sizeof(target) - 1), 14);
  EXPECT_STREQ(target, "/proc/self/mem");
  unlink(host.c_str());
  fs().WriteFileBytes(settings, bytes);
  EXPECT_EQ(r.err, "Error 57: Device I/O error: " + settings + "\n");
#endif
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Installation(), installation);
  EXPECT_EQ(Outside(), outside);
}

}  // namespace
}  // namespace act::test
