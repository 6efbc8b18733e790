// The update never reaches past the product's folders, whatever the drive
// holds: another file system mounted on the way, links back into the
// package, names that are no text, a second folder named like the
// installation but for letter case, a manifest that aims a copy at the
// installation. Mounts are made for the test inside its temporary drives
// and unmounted when it ends; a test skips only where the kernel refuses
// the mount.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "unusual_drives.h"

namespace act::test {
namespace {

#define MOUNT_OR_SKIP(mount)                                                          \
  do {                                                                                \
    const std::string refused = (mount);                                              \
    if (!refused.empty()) GTEST_SKIP() << "the mount cannot be made: " << refused;      \
  } while (0)

// Windows refuses to move a folder to another volume without copying it;
// a copy and a delete stopped part-way would leave the installation whole
// nowhere. A rerun finds it as it was.
TEST_F(UnusualDrives, AMoveOntoAnotherFileSystemChangesNothing) {
  MakeSample("2.0.0.0", "3.0.0.0");
  MakeFolders(fs(), drive + "\\SOPORTE");
  MOUNT_OR_SKIP(drives_.MountMemory(drive + "\\SOPORTE"));
  const Snapshot outside = Outside(), installation = Installation();
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    CliResult r = RunCli(Standard());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error 75: Path/File access error: " + drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\n");
    EXPECT_EQ(Installation(), installation);
    // Only the swap's note, written before the move was tried: the next
    // run finds the installation in its place and takes it away.
    EXPECT_EQ(fs().ListFolder(drive + "\\SOPORTE"),
              std::vector<std::string>{"actualizacion_en_curso.txt"});
    EXPECT_EQ(Outside(), outside);
  }
}

// The cases below exist on posix hosts only. On Windows a mounted folder
// is a reparse point, which a delete takes away as a link (as the link
// cases show) and the identity test walks like any folder; under Wine a
// host mount looks like a plain folder, so a test there would test Wine.
// Host names that are no UTF-8 and two names differing only in case do not
// arise on Windows.
#ifndef _WIN32
const char* kMounted = " (another file system is mounted there)\n";

// A disk mounted in a leftover staging folder, the customer's music bound
// into the backup the run replaces, the unversioned backup itself a mount
// point: each delete is refused before it removes anything, and before the
// installation moves.
TEST_F(UnusualDrives, ADeleteNeverEntersAMountedFileSystem) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string music = PutMusic();
  const std::string usb = Staged("\\usb"), bound = drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\musica";
  MakeFolders(fs(), usb);
  MakeFolders(fs(), bound);
  MOUNT_OR_SKIP(drives_.MountMemory(usb));
  PutText(fs(), usb + "\\foto.jpg", "usb");
  MOUNT_OR_SKIP(drives_.MountBind(music, bound));
  const Snapshot outside = Outside(), installation = Installation(), backup = Backup();
  const Snapshot staged = TakeSnapshot(fs(), Staged(""));

  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 70: Permission denied: " + usb + kMounted);
  EXPECT_EQ(TakeSnapshot(fs(), Staged("")), staged);
  EXPECT_EQ(Installation(), installation);
  EXPECT_EQ(Backup(), backup);
  EXPECT_EQ(Outside(), outside);

  drives_.Unmount(usb);
  r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 70: Permission denied: " + bound + kMounted);
  EXPECT_EQ(Installation(), installation);
  EXPECT_EQ(Backup(), backup);
  EXPECT_EQ(Outside(), outside);

  drives_.Unmount(bound);
  const std::string unversioned = drive + "\\SOPORTE\\zentaroDeck";
  MakeFolders(fs(), unversioned);
  MOUNT_OR_SKIP(drives_.MountBind(music, unversioned));
  r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 70: Permission denied: " + unversioned + kMounted);
  EXPECT_EQ(Installation(), installation);
  EXPECT_EQ(Outside(), outside);
}

// A drive bound onto a folder inside the staging folder: the package
// started from that drive is inside the staging folder, though its own
// parents never pass it.
TEST_F(UnusualDrives, APackageMountedInsideTheStagingFolderIsRefused) {
  PutInstallation(fs(), drive, Exe("2.0.0.0"), options);
  const std::string other = drives_.drive(1) + "\\";
  PutPackage(fs(), other, Exe("3.0.0.0"), options);
  MakeFolders(fs(), Staged("\\medio"));
  MOUNT_OR_SKIP(drives_.MountBind(other, Staged("\\medio")));
  const Snapshot before = TakeSnapshot(fs(), drive + "\\");

  CliResult r = RunCli("--drive " + drive + " --origin " + Arg(other));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.out, "Advertencia!: No se puede actualizar desde " + other +
                       ": el paquete de actualización es la carpeta " + Staged("") +
                       ". Ejecute el actualizador desde otra carpeta o unidad.\n");
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);
}

// Photos copied from an old FAT disk keep its code page's bytes: "Peóa"
// and "Peáa" in Windows-1252, beside the package's own "Peña". Each stays
// a file of its own in the new installation.
TEST_F(UnusualDrives, NamesThatAreNoTextAreNeverMerged) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string o = "\\fotos\\Pe\xf3" "a.jpg", a = "\\fotos\\Pe\xe1" "a.jpg",
                    n = "\\fotos\\Pe\xf1" "a.jpg";
  PutText(fs(), Installed(o), "o");
  PutText(fs(), Installed(a), "a");
  PutText(fs(), origin + "\\zentaroDeck_NEW" + n, "n");
  const Snapshot outside = Outside(), installation = Installation();

  CliResult r = RunCli(Standard() + " --dry-run");
  EXPECT_EQ(r.status, 0) << r.err;
  r = RunCli(Standard());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Backup(), installation);
  EXPECT_EQ(Text(Installed(o)), "o");
  EXPECT_EQ(Text(Installed(a)), "a");
  EXPECT_EQ(Text(Installed(n)), "n");
  EXPECT_EQ(Outside(), outside);
}

// A case-sensitive host file system can hold \ZENTARODECK beside
// \zentaroDeck. The exact spelling is the installation; once it has moved
// to its backup, the promotion fails on the twin rather than being skipped
// with the end reported and no installation.
TEST_F(UnusualDrives, AFolderNamedLikeTheInstallationButForCaseIsNeverTakenForIt) {
  MakeSample("2.0.0.0", "3.0.0.0");
  // Made on the host: through the service the name would reach the
  // installation.
  ASSERT_EQ(mkdir((drives_.HostPath(drive + "\\") + "/ZENTARODECK").c_str(), 0777), 0);
  PutText(fs(), drive + "\\ZENTARODECK\\leeme.txt", "otra carpeta\n");
  // A spelling that is neither cannot be told.
  EXPECT_THROW(fs().FolderExists(drive + "\\ZentaroDeck"), Error);
  const Snapshot outside = Outside(), installation = Installation();

  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 58: File already exists: " + drive + "\\zentaroDeck\n");
  EXPECT_EQ(Backup(), installation);
  EXPECT_EQ(fs().GetFileVersion(Staged("\\zentaroDeck.exe")), "3.0.0.0");
  EXPECT_EQ(Outside(), outside);
}
#endif

// Two links in the package back to the package itself: measuring its size
// and copying it would never end. The run, real or dry, ends with an error
// before it changes anything outside the staging folder.
TEST_F(UnusualDrives, LinksBackIntoThePackageEndTheRunInsteadOfHangingIt) {
  MakeSample("2.0.0.0", "3.0.0.0");
  const std::string package = origin + "\\zentaroDeck_NEW";
  // The package's folder is left out: no snapshot could walk its links.
  const std::vector<std::string> package_names = fs().ListFolder(package);
  const Snapshot outside = Outside(origin), installation = Installation();
  drives_.MakeFolderLink(package + "\\skins\\uno", package);
  drives_.MakeFolderLink(package + "\\skins\\dos", package);

  for (const char* mode : {" --dry-run", ""}) {
    SCOPED_TRACE(mode);
    CliResult r = RunCli(Standard() + mode);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("Error 75: Path/File access error: " + package + "\\skins\\"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" (a link there leads back into the folders above it)"),
              std::string::npos) << r.err;
    EXPECT_EQ(Installation(), installation);
    EXPECT_EQ(fs().ListFolder(package), package_names);
    EXPECT_EQ(Outside(origin), outside);
  }
}

// Source and destination swapped when the package was built: the copies
// would overwrite the installation before it is kept. Refused before the
// first copy, naming the entry and its key, the path's spelling aside.
// Anywhere else on the drive stays allowed.
TEST_F(UnusualDrives, AListedCopyIntoTheInstallationOrItsBackupsIsRefused) {
  MakeSample("2.0.0.0", "3.0.0.0");
  MakeFolders(fs(), drive + "\\SOPORTE\\zentaroDeck_1.0.0.0");
  const std::string manifest = origin + "\\zentaroDeck_NEW\\actualizador.ini";
  const std::string staged_manifest = Staged("\\actualizador.ini");
  const std::string sample = SampleManifest(options);
  const std::string folder_entry =
      "carpeta_orig_2=\\zentaroDeck\\fotos\ncarpeta_dest_2=\\zentaroDeck_NEW\\fotos\n";
  const std::string file_entry =
      "archivo_orig_1=\\zentaroDeck\\licencia.txt\narchivo_dest_1=\\zentaroDeck_NEW\\licencia.txt\n";
  ASSERT_NE(sample.find(folder_entry), std::string::npos);
  ASSERT_NE(sample.find(file_entry), std::string::npos);
  const auto with = [&](const std::string& entry, const std::string& replacement) {
    std::string text = sample;
    return text.replace(text.find(entry), entry.size(), replacement);
  };
  struct Case {
    std::string manifest, refusal;
  };
  const Case cases[] = {
      {with(folder_entry,
            "carpeta_orig_2=\\zentaroDeck_NEW\\fotos\n"
            "carpeta_dest_2=\\zentaroDeck_NEW\\..\\zentaroDeck\\fotos\n"),
       "[COPIA_CARPETAS] carpeta_dest_2=\\zentaroDeck_NEW\\..\\zentaroDeck\\fotos in " +
           staged_manifest + ": " + drive + "\\zentaroDeck_NEW\\..\\zentaroDeck\\fotos" +
           " lies inside " + drive + "\\zentaroDeck"},
      {with(file_entry,
            "archivo_orig_1=\\zentaroDeck_NEW\\licencia.txt\n"
            "archivo_dest_1=\\soporte\\zentaroDeck_1.0.0.0\\licencia.txt\n"),
       "[COPIA_ARCHIVOS] archivo_dest_1=\\soporte\\zentaroDeck_1.0.0.0\\licencia.txt in " +
           staged_manifest + ": " + drive + "\\soporte\\zentaroDeck_1.0.0.0\\licencia.txt" +
           " lies inside " + drive + "\\SOPORTE"},
  };
  const Snapshot installation = Installation();
  const Snapshot support = TakeSnapshot(fs(), drive + "\\SOPORTE");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    PutText(fs(), manifest, c.manifest);
    const Snapshot outside = Outside();
    CliResult r = RunCli(Standard());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error 70: Permission denied: " + c.refusal +
                         ", which no listed copy may change\n");
    EXPECT_EQ(Installation(), installation);
    EXPECT_EQ(TakeSnapshot(fs(), drive + "\\SOPORTE"), support);
    EXPECT_EQ(Outside(), outside);
  }

  PutText(fs(), manifest, with(folder_entry,
                               "carpeta_orig_2=\\zentaroDeck\\fotos\n"
                               "carpeta_dest_2=\\fotos_copia\n"));
  CliResult r = RunCli(Standard());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\fotos_copia"),
            TakeSnapshot(fs(), drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\fotos"));
  EXPECT_EQ(Backup(), installation);
}

}  // namespace
}  // namespace act::test
