#include "tests/reliability/run_drive.h"

#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "platform/error.h"
#include "tests/support/carry_over_databases.h"

namespace act::test {
namespace {

constexpr const char* kInstalledVersion = "2.0.0.0";
constexpr const char* kPackagedVersion = "2.5.0.0";

// The real Jet 3 databases the drive carries: the installed one is the
// customer's data the run must never change.
std::string JetSample(const char* name) {
  return act::testing::HostFile(std::string(ACT_TEST_DATA_DIR) + "/jet/jet3/" + name);
}

class SilentBoxes : public MessageBoxes {
 public:
  void Show(const std::string&, int, const std::string&) override {}
};

}  // namespace

RunDrive::RunDrive(const RunDriveOptions& options)
    : current_(kInstalledVersion), carry_database_(options.songs > 0) {
  FileSystem& fs = drive_.fs();
  SampleOptions sample;
  sample.sections = 3;
  sample.keys_per_section = 4;
  sample.skin_files = 12;
  sample.photo_files = 12;
  sample.media_bytes = 3000;

  const std::string tpl = Path("\\plantilla");
  MakeFolders(fs, tpl + "\\media");
  PutInstallation(fs, tpl, VersionedExe(fs, ACT_TEST_EXE_DIR, kInstalledVersion), sample);
  PutPackage(fs, tpl + "\\media", VersionedExe(fs, ACT_TEST_EXE_DIR, kPackagedVersion), sample);
  // PutInstallation builds under tpl\zentaroDeck; real databases replace the
  // stand-in bytes.
  const std::string installed = tpl + "\\zentaroDeck\\datos.mdb";
  const std::string packaged = tpl + "\\media\\zentaroDeck_NEW\\datos.new";
  fs.DeleteFile(installed, true);
  fs.DeleteFile(packaged, true);
  if (carry_database_) {
    WriteCarryOverDatabase(fs, installed, InstalledContent(options.songs));
    WriteCarryOverDatabase(fs, packaged, PackageContent());
  } else {
    fs.CopyFile(JetSample("testIndexCodesV1997.mdb"), installed, true);
    fs.SetAttributes(installed, kAttrNormal);
    fs.CopyFile(JetSample("testV1997.mdb"), packaged, true);
  }
  // As on a disc, the package's database arrives read-only.
  fs.SetAttributes(tpl + "\\media\\zentaroDeck_NEW\\datos.new", kAttrReadOnly);

  if (options.earlier_backups) {
    // A backup of the same version from an earlier update, one of another
    // version, and an unversioned one: the run replaces the first, keeps the
    // second and removes the third.
    for (const char* name : {"\\zentaroDeck_2.0.0.0", "\\zentaroDeck_1.9.0.0", "\\zentaroDeck"}) {
      PutText(fs, tpl + "\\SOPORTE" + name + "\\datos.mdb", std::string("copia ") + name + "\n");
      PutText(fs, tpl + "\\SOPORTE" + name + "\\fotos\\1.jpg", "foto antigua\n");
    }
  }
  Reset();
}

void RunDrive::Reset() {
  FileSystem& fs = drive_.fs();
  for (const char* name : {"\\zentaroDeck", "\\zentaroDeck_NEW", "\\SOPORTE", "\\media"}) {
    if (fs.FolderExists(Path(name))) fs.DeleteFolder(Path(name), true);
  }
  const std::string tpl = Path("\\plantilla");
  for (const char* name : {"\\zentaroDeck", "\\SOPORTE", "\\media"}) {
    if (fs.FolderExists(tpl + name)) fs.CopyFolder(tpl + name, Path(name), true);
  }
}

RunOutcome RunDrive::Run(FileSystem& fs) {
  std::unique_ptr<ProfileStore> profiles = NewPlatformProfileStore(fs);
  SilentBoxes boxes;
  RunServices services{fs, *profiles, boxes};
  std::unique_ptr<CarryOverRules> database;
  if (carry_database_) {
    database = std::make_unique<CarryOverRules>(
        *profiles, [&fs] { return NewDaoCarryOverEngine(fs); });
    services.database = database.get();
  }
  return RunUpdate({drive(), Path("\\media")}, services);
}

Snapshot RunDrive::Take(const std::string& relative) {
  if (!fs().FolderExists(Path(relative))) return {{"<absent>", ""}};
  return TakeSnapshot(fs(), Path(relative));
}

}  // namespace act::test
