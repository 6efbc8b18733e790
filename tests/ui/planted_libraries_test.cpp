// The updater starts from removable media, which anyone may have written
// to. A DLL named like one the programs use (version.dll, comctl32.dll),
// planted beside them there, must never be loaded. Under Wine with native
// DLLs preferred (WINEDLLOVERRIDES, which ctest sets), Wine's loader takes
// such a file wherever Windows's search would find it first; each program
// runs with a DLL of each name beside it that leaves a marker when loaded,
// and must leave none.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_errors.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"
#include "tests/ui/window_driver.h"

namespace act::test {
namespace {

constexpr DWORD kTimeout = 60000;

class PlantedLibraries : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine reads it from the environment the host gave the first program,
    // which the programs it starts inherit.
    wchar_t overrides[64] = L"";
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 64);
    if (testing::RunningUnderWine()) {
      ASSERT_EQ(std::wstring(overrides), L"version,comctl32=n,b") << "run through ctest";
    }
  }

  // A copy of the program in `folder` on the medium, with the planted DLLs
  // beside it.
  std::wstring Plant(const char* program, const std::string& folder) {
    MakeFolders(medium_.fs(), folder);
    const std::wstring copy = Wide(folder + "\\" + Name(program));
    EXPECT_TRUE(CopyFileW(Host(program).c_str(), copy.c_str(), FALSE));
    for (const wchar_t* dll : {L"\\version.dll", L"\\comctl32.dll"}) {
      EXPECT_TRUE(CopyFileW(Host(ACT_PLANTED_DLL).c_str(), (Wide(folder) + dll).c_str(), FALSE));
    }
    return copy;
  }

  // Whether a planted DLL left its marker in the folder.
  bool Marked(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*.loaded").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
  }

  static std::wstring Host(const char* path) { return Wide(testing::HostFile(path)); }
  static std::string Name(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

  testing::TempDrive target_, medium_;
};

TEST_F(PlantedLibraries, ThePlantedDllsAreNeverLoaded) {
  // The command-line program runs a whole update from the medium, reading
  // both versions through the version library.
  const std::string disco = medium_.Path("\\disco");
  SampleOptions options;
  PutInstallation(target_.fs(), target_.drive(), VersionedExe(target_.fs(), ACT_TEST_EXE_DIR, "2.0.0.0"),
                  options);
  PutPackage(medium_.fs(), disco, VersionedExe(medium_.fs(), ACT_TEST_EXE_DIR, "3.0.0.0"), options);
  target_.fs().DeleteFile(target_.Path("\\zentaroDeck\\datos.mdb"), true);
  WriteCarryOverDatabase(target_.fs(), target_.Path("\\zentaroDeck\\datos.mdb"), InstalledContent(20));
  medium_.fs().DeleteFile(disco + "\\zentaroDeck_NEW\\datos.new", true);
  WriteCarryOverDatabase(medium_.fs(), disco + "\\zentaroDeck_NEW\\datos.new", PackageContent());
  {
    Program cli(Plant(ACT_CLI_EXE, disco), Wide(disco), Wide("--drive " + target_.drive()));
    EXPECT_EQ(cli.WaitExit(kTimeout), 0u);
  }
  EXPECT_EQ(target_.fs().GetFileVersion(target_.Path("\\zentaroDeck\\zentaroDeck.exe")), "3.0.0.0");
  EXPECT_FALSE(Marked(disco));

  // The window comes up with its common controls.
  const std::string window_folder = medium_.Path("\\ventana");
  const std::wstring window_exe = Plant(ACT_WINDOW_EXE, window_folder);
  EXPECT_TRUE(CopyFileW(Host(ACT_SOURCE_DIR "/tests/ui/data/folder.jpg").c_str(),
                        Wide(window_folder + "\\folder.jpg").c_str(), FALSE));
  {
    Program window(window_exe, Wide(window_folder));
    // Without the product's start-up shortcut a warning comes first.
    HWND shown = nullptr;
    for (DWORD waited = 0; !shown && waited < kTimeout; waited += 100) {
      if (auto box = WaitForMessageBox(window.pid(), 0)) Answer(*box);
      shown = WaitForWindow(window.pid(), L"Actualizador", 100);
    }
    ASSERT_TRUE(shown);
    PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.WaitExit(kTimeout), 0u);
  }
  EXPECT_FALSE(Marked(window_folder));

  // jetsql lists the tables of a database.
  const std::string tool_folder = medium_.Path("\\herramienta");
  const std::wstring tool_exe = Plant(ACT_JETSQL_EXE, tool_folder);
  const std::string database = tool_folder + "\\datos.mdb";
  WriteCarryOverDatabase(medium_.fs(), database, PackageContent());
  {
    Program tool(tool_exe, Wide(tool_folder), Wide("\"" + database + "\" --tables"));
    EXPECT_EQ(tool.WaitExit(kTimeout), 0u);
  }
  EXPECT_FALSE(Marked(tool_folder));
}

}  // namespace
}  // namespace act::test
