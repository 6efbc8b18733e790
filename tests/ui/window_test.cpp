// actualizador.exe under Wine, driven from outside through window_driver:
// the window's layout and behaviour, an update run on a selected drive with
// its real message boxes, and the ways the load sequence can end early.
//
// Runs on three drives of its own: the first holds the installation, the
// second the update medium, the third nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/win32_errors.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/temp_drive.h"
#include "tests/ui/window_driver.h"

namespace act::test {
namespace {

constexpr DWORD kTimeout = 20000;

// A host path of the build as Wine sees it, through its Z: drive.
std::wstring FromHost(const char* host) {
  std::wstring path = L"Z:";
  for (const char* c = host; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void Copy(const std::wstring& from, const std::wstring& to) {
  ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << "copy to " << std::string(to.begin(), to.end());
}

std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (!size) return L"";
  std::vector<char> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length))
    return L"";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

std::wstring StartupFolder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
  return path;
}

void SaveShortcut(const std::wstring& file, const std::wstring& target) {
  IShellLinkW* link = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkW, reinterpret_cast<void**>(&link)));
  link->SetPath(target.c_str());
  IPersistFile* persist = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  EXPECT_HRESULT_SUCCEEDED(persist->Save(file.c_str(), TRUE));
  persist->Release();
  link->Release();
}

// The test's paths are plain ASCII.
std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    target_ = Wide(drives_[0].drive());
    medium_ = Wide(drives_[1].drive());
    other_ = Wide(drives_[2].drive());
    RemoveShortcuts();
    updater_ = medium_ + L"\\upd";

    // The installation: version 1.9 with its database and settings.
    CreateDirectoryW((target_ + L"\\zentaroDeck").c_str(), nullptr);
    Copy(Exe(L"1.9.0.0"), target_ + L"\\zentaroDeck\\zentaroDeck.exe");
    // Real databases: the run carries the installed one into the package's.
    test::WriteCarryOverDatabase(drives_[0].fs(), Narrow(target_ + L"\\zentaroDeck\\datos.mdb"),
                                 test::InstalledContent(20));
    WriteText(target_ + L"\\zentaroDeck\\configuracion.ini", "[GENERAL]\r\n");

    // The medium: the updater, folder.jpg and the package of version 2.0.
    CreateDirectoryW(updater_.c_str(), nullptr);
    MakeUpdater(updater_);
  }

  void TearDown() override {
    RemoveShortcuts();
    CoUninitialize();
  }

  static std::wstring Exe(const wchar_t* version) {
    return FromHost(ACT_TEST_EXE_DIR) + L"\\zentaroDeck-" + version + L".exe";
  }

  void MakeUpdater(const std::wstring& folder) {
    Copy(FromHost(ACT_WINDOW_EXE), folder + L"\\actualizador.exe");
    Copy(FromHost(ACT_SOURCE_DIR "/tests/ui/data/folder.jpg"), folder + L"\\folder.jpg");
    std::wstring package = folder + L"\\zentaroDeck_NEW";
    CreateDirectoryW(package.c_str(), nullptr);
    Copy(Exe(L"2.0.0.0"), package + L"\\zentaroDeck.exe");
    WriteText(package + L"\\actualizador.ini", "[VERSIONES]\r\nminimo=1.0\r\n");
    WriteText(package + L"\\configuracion.ini", "[GENERAL]\r\n");
    test::WriteCarryOverDatabase(drives_[0].fs(), Narrow(package + L"\\datos.new"),
                                 test::PackageContent());
  }

  void RemoveShortcuts() {
    for (int csidl : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
      for (const wchar_t* name : {L"\\zentaro Deck.lnk", L"\\zentaroDeck.lnk"})
        DeleteFileW((StartupFolder(csidl) + name).c_str());
    }
  }

  // The product's start-up shortcut, pointing into `drive`.
  void AddStartupShortcut(const std::wstring& drive) {
    SaveShortcut(StartupFolder(CSIDL_STARTUP) + L"\\zentaroDeck.lnk", drive + L"\\zentaroDeck\\zentaroDeck.exe");
  }

  testing::TempDrive drives_[3];
  std::wstring target_, medium_, other_, updater_;
};

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

#define EXPECT_WEQ(a, b) EXPECT_EQ(Utf8(a), Utf8(b))

TEST_F(Window, LaysOutTheWindowAsDesigned) {
  AddStartupShortcut(other_);
  Program program(updater_ + L"\\actualizador.exe", updater_);
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);

  HDC screen = GetDC(nullptr);
  int dpi_x = GetDeviceCaps(screen, LOGPIXELSX), dpi_y = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto px = [&](int twips) { return MulDiv(twips, dpi_x, 1440); };
  auto py = [&](int twips) { return MulDiv(twips, dpi_y, 1440); };
  if (dpi_x == 96 && dpi_y == 96) {
    EXPECT_EQ(px(5430), 362);
    EXPECT_EQ(py(3690), 246);
  }

  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, px(5430));
  EXPECT_EQ(client.bottom, py(3690));
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_FALSE(GetMenu(window));

  // Centred on the screen.
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  struct Expected {
    const wchar_t* window_class;
    const wchar_t* text;
    int left, top, width, height;
  };
  const Expected expected[] = {
      {L"Button", L"Actualizar", 3960, 600, 1215, 495},
      {L"Button", L"Salir", 3960, 2280, 1215, 495},
      {L"Static", L"Unidad de la Carpeta zentaroDeck", 360, 240, 2895, 255},
      {L"Static", L"v23.09.28", 4440, 3360, 855, 255},
  };
  auto children = Children(window);
  for (const Expected& e : expected) {
    const Child* child = FindChild(children, e.window_class, e.text);
    ASSERT_TRUE(child) << Utf8(e.text);
    EXPECT_EQ(child->rect.left, px(e.left)) << Utf8(e.text);
    EXPECT_EQ(child->rect.top, py(e.top)) << Utf8(e.text);
    EXPECT_EQ(child->rect.right - child->rect.left, px(e.width)) << Utf8(e.text);
    EXPECT_EQ(child->rect.bottom - child->rect.top, py(e.height)) << Utf8(e.text);
    if (e.window_class == std::wstring(L"Button")) {
      EXPECT_EQ(child->style & BS_TYPEMASK, BS_PUSHBUTTON) << Utf8(e.text);
      EXPECT_NE(child->id, IDOK);
      EXPECT_NE(child->id, IDCANCEL);
    }
  }

  // Each caption fits its control, measured inside the program with the
  // control's own font: a label whose text is wider than itself wraps, and
  // its second line hides behind the control under it.
  std::vector<CaptionMeasure> captions = MeasureCaptions(window, FromHost(ACT_CAPTION_PROBE_DLL));
  for (const Expected& e : expected) {
    auto caption = std::find_if(captions.begin(), captions.end(),
                                [&](const CaptionMeasure& c) { return std::wstring(c.text) == e.text; });
    ASSERT_NE(caption, captions.end()) << "not measured: " << Utf8(e.text);
    EXPECT_LE(caption->extent.cx, caption->client.cx) << Utf8(e.text) << " in " << Utf8(caption->face);
    EXPECT_LE(caption->extent.cy, caption->client.cy) << Utf8(e.text) << " in " << Utf8(caption->face);
  }

  // The drive list, preset by the discovery to the shortcut's drive.
  const Child* drive1 = nullptr;
  const Child* salir = FindChild(children, L"Button", L"Salir");
  const Child* actualizar = FindChild(children, L"Button", L"Actualizar");
  std::vector<const Child*> images;
  for (const Child& child : children) {
    if (_wcsicmp(child.window_class.c_str(), L"ComboBox") == 0) drive1 = &child;
    if (_wcsicmp(child.window_class.c_str(), L"Static") == 0 && child.text.empty()) images.push_back(&child);
  }
  ASSERT_TRUE(drive1);
  EXPECT_EQ(drive1->style & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(drive1->rect.left, px(360));
  EXPECT_EQ(drive1->rect.top, py(600));
  EXPECT_EQ(drive1->rect.right - drive1->rect.left, px(2895));
  // The closed height of a drop-down list follows its font: 21 pixels at
  // 96 DPI with the window's 8-point font, the design's height.
  EXPECT_NEAR(drive1->rect.bottom - drive1->rect.top, py(315), 2);
  EXPECT_WEQ(drive1->text.substr(0, 2), other_);

  // The two pictures: imgTipo (folder.jpg, drawn) and Image1 (the logo).
  ASSERT_EQ(images.size(), 2u);
  const Child* img_tipo = images[0]->rect.top < images[1]->rect.top ? images[0] : images[1];
  const Child* image1 = img_tipo == images[0] ? images[1] : images[0];
  EXPECT_EQ(img_tipo->rect.left, px(360));
  EXPECT_EQ(img_tipo->rect.top, py(1200));
  EXPECT_EQ(img_tipo->rect.right - img_tipo->rect.left, px(1575));
  EXPECT_EQ(img_tipo->rect.bottom - img_tipo->rect.top, py(1575));
  EXPECT_EQ(image1->rect.left, px(120));
  EXPECT_EQ(image1->rect.top, py(3120));
  EXPECT_EQ(image1->rect.right - image1->rect.left, px(2325));
  EXPECT_EQ(image1->rect.bottom - image1->rect.top, py(375));

  // White window and labels; the folder picture's colours inside imgTipo.
  Sleep(300);
  EXPECT_EQ(PixelOf(window, px(2400), py(2000)), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(window, px(3200), py(250)), RGB(255, 255, 255));
  COLORREF folder = PixelOf(window, px(360 + 787), py(1200 + 1100));
  EXPECT_NE(folder, RGB(255, 255, 255));
  EXPECT_GT(GetRValue(folder), 200);
  EXPECT_LT(GetBValue(folder), 160);

  // Tab order "Salir", the drive list, "Actualizar"; the focus on "Salir".
  EXPECT_EQ(FocusOf(window), salir->hwnd);
  EXPECT_EQ(GetNextDlgTabItem(window, salir->hwnd, FALSE), drive1->hwnd);
  EXPECT_EQ(GetNextDlgTabItem(window, drive1->hwnd, FALSE), actualizar->hwnd);
  EXPECT_EQ(GetNextDlgTabItem(window, actualizar->hwnd, FALSE), salir->hwnd);

  // Enter and Escape press nothing: the program goes on.
  PostMessageW(salir->hwnd, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(salir->hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(program.WaitExit(700).has_value());
  EXPECT_FALSE(WaitForMessageBox(program.pid(), 0).has_value());

  // The close box ends the program.
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program.WaitExit(kTimeout), 0u);
}

TEST_F(Window, GivesTheDriveLabelItsTooltip) {
  AddStartupShortcut(target_);
  Program program(updater_ + L"\\actualizador.exe", updater_);
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);
  const Child* label = FindChild(Children(window), L"Static", L"Unidad de la Carpeta zentaroDeck");
  ASSERT_TRUE(label);
  EXPECT_WEQ(ToolTipOf(window, label->hwnd), L"Unidad De Disco Duro En Donde Se Encuentra La Carpeta QUENTAriva");
}

TEST_F(Window, UpdatesTheSelectedDriveThenRefusesTheSecondRun) {
  AddStartupShortcut(other_);
  Program program(updater_ + L"\\actualizador.exe", updater_);
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);
  auto children = Children(window);
  HWND drive1 = nullptr;
  for (const Child& child : children) {
    if (_wcsicmp(child.window_class.c_str(), L"ComboBox") == 0) drive1 = child.hwnd;
  }
  ASSERT_TRUE(drive1);
  std::wstring target_item = target_;
  target_item[0] = towlower(target_item[0]);
  ASSERT_TRUE(SelectListItem(drive1, target_item));
  EXPECT_WEQ(TextOf(drive1).substr(0, 2), target_item);

  Click(FindChild(children, L"Button", L"Actualizar")->hwnd);
  auto box = WaitForMessageBox(program.pid(), 60000);
  ASSERT_TRUE(box);
  EXPECT_WEQ(box->title, L"z-entaro");
  EXPECT_WEQ(box->text, L"Fin De La actualización");
  EXPECT_TRUE(box->icon_shown);
  EXPECT_EQ(box->buttons.size(), 1u);
  Answer(*box);

  // The window stays; the drive holds the new installation and the backup.
  EXPECT_FALSE(program.WaitExit(500).has_value());
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_WEQ(FileVersion(target_ + L"\\zentaroDeck\\zentaroDeck.exe"), L"2.0.0.0");
  EXPECT_WEQ(FileVersion(target_ + L"\\SOPORTE\\zentaroDeck_1.9.0.0\\zentaroDeck.exe"), L"1.9.0.0");
  EXPECT_TRUE(Exists(target_ + L"\\zentaroDeck\\datos.mdb"));
  EXPECT_FALSE(Exists(target_ + L"\\zentaroDeck\\actualizador.ini"));
  EXPECT_FALSE(Exists(target_ + L"\\zentaroDeck_NEW"));
  EXPECT_FALSE(Exists(other_ + L"\\zentaroDeck_NEW"));

  // Again: now current, the run is refused and the program ends.
  Click(FindChild(children, L"Button", L"Actualizar")->hwnd);
  box = WaitForMessageBox(program.pid(), 60000);
  ASSERT_TRUE(box);
  EXPECT_WEQ(box->title, L"z-entaro");
  EXPECT_WEQ(box->text, L"Advertencia!: La Versión Ya Esta Actualizada");
  EXPECT_TRUE(box->icon_shown);
  Answer(*box);
  EXPECT_EQ(program.WaitExit(kTimeout), 0u);
  EXPECT_FALSE(Exists(target_ + L"\\zentaroDeck_NEW"));
  EXPECT_WEQ(FileVersion(target_ + L"\\zentaroDeck\\zentaroDeck.exe"), L"2.0.0.0");
}

TEST_F(Window, WithoutShortcutWarnsBeforeTheWindowAndKeepsTheCurrentDrive) {
  Program program(updater_ + L"\\actualizador.exe", updater_);
  auto box = WaitForMessageBox(program.pid(), kTimeout);
  ASSERT_TRUE(box);
  EXPECT_FALSE(HasVisibleWindow(program.pid(), L"Actualizador"));
  EXPECT_WEQ(box->text, L"No se encuentra el acceso directo de INICIO del Programa zentaro");
  EXPECT_WEQ(box->title, L"actualizador");
  EXPECT_FALSE(box->icon_shown);
  EXPECT_EQ(box->buttons.size(), 1u);
  Answer(*box);

  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);
  auto children = Children(window);
  for (const Child& child : children) {
    // The empty drive names none: the list keeps the drive of the program's
    // current folder, the medium.
    if (_wcsicmp(child.window_class.c_str(), L"ComboBox") == 0) {
      std::wstring medium = medium_;
      medium[0] = towlower(medium[0]);
      EXPECT_WEQ(child.text.substr(0, 2), medium);
    }
  }
  // Space on the focused "Salir" ends the program.
  HWND salir = FindChild(children, L"Button", L"Salir")->hwnd;
  EXPECT_EQ(FocusOf(window), salir);
  PostMessageW(salir, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(salir, WM_KEYUP, VK_SPACE, 0xC0000001);
  EXPECT_EQ(program.WaitExit(kTimeout), 0u);
}

TEST_F(Window, ANetworkShortcutNamesNoDriveAndTheListKeepsItsDrive) {
  SaveShortcut(StartupFolder(CSIDL_STARTUP) + L"\\zentaroDeck.lnk", L"\\\\server\\share\\zentaroDeck.exe");
  Program program(updater_ + L"\\actualizador.exe", updater_);
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);
  EXPECT_FALSE(WaitForMessageBox(program.pid(), 0).has_value());
  std::wstring medium = medium_;
  medium[0] = towlower(medium[0]);
  for (const Child& child : Children(window)) {
    if (_wcsicmp(child.window_class.c_str(), L"ComboBox") == 0) {
      EXPECT_WEQ(child.text.substr(0, 2), medium);
    }
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitExit(kTimeout), 0u);
}

TEST_F(Window, AFailingRunEndsWithTheErrorReport) {
  AddStartupShortcut(other_);  // a drive without the product
  Program program(updater_ + L"\\actualizador.exe", updater_);
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window);
  Click(FindChild(Children(window), L"Button", L"Actualizar")->hwnd);
  auto box = WaitForMessageBox(program.pid(), 60000);
  ASSERT_TRUE(box);
  EXPECT_WEQ(box->title, L"actualizador");
  EXPECT_WEQ(box->text.substr(0, 10), L"Error 53: ");
  EXPECT_NE(box->text.find(L"\\zentaroDeck\\zentaroDeck.exe"), std::wstring::npos) << Utf8(box->text);
  EXPECT_TRUE(box->icon_shown);
  Answer(*box);
  EXPECT_EQ(program.WaitExit(kTimeout), 1u);
}

TEST_F(Window, WithoutFolderJpgEndsWithTheErrorReportBeforeTheWindow) {
  AddStartupShortcut(target_);
  DeleteFileW((updater_ + L"\\folder.jpg").c_str());
  Program program(updater_ + L"\\actualizador.exe", updater_);
  auto box = WaitForMessageBox(program.pid(), kTimeout);
  ASSERT_TRUE(box);
  EXPECT_FALSE(HasVisibleWindow(program.pid(), L"Actualizador"));
  EXPECT_WEQ(box->text, L"Error 53: File not found: " + updater_ + L"\\folder.jpg");
  EXPECT_TRUE(box->icon_shown);
  Answer(*box);
  EXPECT_EQ(program.WaitExit(kTimeout), 1u);
}

TEST_F(Window, AFolderJpgThatIsNoPictureEndsTheProgram) {
  AddStartupShortcut(target_);
  WriteText(updater_ + L"\\folder.jpg", "not a picture at all");
  Program program(updater_ + L"\\actualizador.exe", updater_);
  auto box = WaitForMessageBox(program.pid(), kTimeout);
  ASSERT_TRUE(box);
  EXPECT_WEQ(box->text, L"Error 481: Invalid picture: " + updater_ + L"\\folder.jpg");
  Answer(*box);
  EXPECT_EQ(program.WaitExit(kTimeout), 1u);
}

TEST_F(Window, StartsFromADriveRootWithTheDoubledBackslash) {
  AddStartupShortcut(target_);
  MakeUpdater(medium_ + L"\\");
  Program program(medium_ + L"\\actualizador.exe", medium_ + L"\\");
  HWND window = WaitForWindow(program.pid(), L"Actualizador", kTimeout);
  ASSERT_TRUE(window) << "no window; a box says: "
                      << Utf8(WaitForMessageBox(program.pid(), 0).value_or(Box{}).text);
  Click(FindChild(Children(window), L"Button", L"Salir")->hwnd);
  EXPECT_EQ(program.WaitExit(kTimeout), 0u);
}

}  // namespace
}  // namespace act::test
