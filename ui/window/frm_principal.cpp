#include "ui/window/frm_principal.h"

#include <commctrl.h>

#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "engine/update_run.h"
#include "platform/profile_store.h"
#include "platform/shell/shell.h"
#include "platform/win32/win32_errors.h"
#include "ui/discovery/drive_discovery.h"
#include "ui/resources/resource.h"
#include "ui/window/window_font.h"

namespace act {
namespace {

const wchar_t* const kClassName = L"frmPrincipal";
const COLORREF kWhite = RGB(255, 255, 255);

// Control ids; none is IDOK or IDCANCEL, so Enter and Escape press nothing.
enum ControlId {
  kIdActualizar = 1001,
  kIdDrive1,
  kIdSalir,
  kIdTipo,
  kIdLblDrive,
  kIdLblVersion,
  kIdImage1,
};

// The window's design, in twips.
constexpr int kClientWidth = 5430;
constexpr int kClientHeight = 3690;

// The folder of the running executable: no trailing backslash except at a
// drive root ("e:\").
std::string UpdaterFolder() {
  wchar_t path[MAX_PATH + 1] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L'\\') == std::wstring::npos ? 0 : folder.find_last_of(L'\\'));
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return Narrow(folder);
}

}  // namespace

void FrmPrincipal::Load(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  white_ = CreateSolidBrush(kWhite);
  window_class.hbrBackground = white_;
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);

  HDC screen = GetDC(nullptr);
  dpi_x_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = GetDeviceCaps(screen, LOGPIXELSY);
  font_ = CreateWindowFont(screen);
  ReleaseDC(nullptr, screen);

  // Fixed single border, close box only; the client area has the design's
  // size, and the window stands centred on the screen.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT frame = {0, 0, MulDiv(kClientWidth, dpi_x_, 1440), MulDiv(kClientHeight, dpi_y_, 1440)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  hwnd_ = CreateWindowExW(0, kClassName, L"Actualizador", style, left, top, width, height, nullptr,
                          nullptr, instance, this);
  CreateControls(instance);

  // The load sequence, while the window is still hidden. A swap an earlier
  // run left half done on the drive found is finished before the operator
  // can do anything.
  buscaUnidadPrograma();
  FinishInterruptedUpdate(drive1_.Drive(), *NewPlatformFileSystem(), boxes_);
  tipo_picture_.LoadFile(*NewPlatformFileSystem(), UpdaterFolder() + "\\" + "folder.jpg");

  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  focus_ = cmd_salir_;
  SetFocus(cmd_salir_);
  boxes_.set_owner(hwnd_);
}

void FrmPrincipal::buscaUnidadPrograma() {
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  std::unique_ptr<Shell> shell = NewPlatformShell(*fs);
  act::buscaUnidadPrograma(*shell, boxes_, drive1_);
}

HWND FrmPrincipal::AddControl(const wchar_t* window_class, const wchar_t* text, DWORD style,
                              int id, int left, int top, int width, int height) {
  HWND control = CreateWindowExW(
      0, window_class, text, WS_CHILD | WS_VISIBLE | style, MulDiv(left, dpi_x_, 1440),
      MulDiv(top, dpi_y_, 1440), MulDiv(width, dpi_x_, 1440), MulDiv(height, dpi_y_, 1440), hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

void FrmPrincipal::CreateControls(HINSTANCE instance) {
  // Created in tab order, "Salir", the drive list, "Actualizar", so that
  // Tab walks them in that order; the labels and images take no focus.
  cmd_salir_ = AddControl(L"BUTTON", L"Salir", WS_TABSTOP | BS_PUSHBUTTON, kIdSalir, 3960, 2280,
                          1215, 495);
  AddControl(L"STATIC", L"v23.09.28", SS_LEFT, kIdLblVersion, 4440, 3360, 855, 255);

  // The height given covers the list that drops down too; the closed list
  // takes the height that its font needs, as a drive list box does.
  HWND drive1 = AddControl(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kIdDrive1,
                           360, 600, 2895, 315 + 2400);
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  drive1_.Attach(drive1, *NewPlatformShell(*fs));

  lbl_drive_ = AddControl(L"STATIC", L"Unidad de la Carpeta zentaroDeck", SS_LEFT | SS_NOTIFY,
                          kIdLblDrive, 360, 240, 2895, 255);
  AddControl(L"BUTTON", L"Actualizar", WS_TABSTOP | BS_PUSHBUTTON, kIdActualizar, 3960, 600, 1215,
             495);
  img_tipo_ = AddControl(L"STATIC", L"", SS_OWNERDRAW, kIdTipo, 360, 1200, 1575, 1575);
  image1_ = AddControl(L"STATIC", L"", SS_OWNERDRAW, kIdImage1, 120, 3120, 2325, 375);
  logo_picture_.LoadResource(IDR_LOGO);

  HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                                 nullptr, instance, nullptr);
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(lbl_drive_);
  wchar_t tip[] = L"Unidad De Disco Duro En Donde Se Encuentra La Carpeta QUENTAriva";
  tool.lpszText = tip;
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FrmPrincipal::cmdActualizar_Click() {
  RunInputs inputs;
  inputs.drive_text = drive1_.Drive();
  inputs.updater_folder = UpdaterFolder();
  fs_ = NewPlatformFileSystem();
  std::unique_ptr<ProfileStore> profiles = NewPlatformProfileStore(*fs_);
  // The database engine works through this run's file-system service,
  // which the next run replaces, so it is made for the run; it keeps
  // nothing between runs and has closed every file when the stage returns.
  CarryOverRules database(*profiles, [this] { return NewDaoCarryOverEngine(*fs_); });
  RunServices services{*fs_, *profiles, boxes_, &database};
  if (RunUpdate(inputs, services) == RunOutcome::kRefused) ExitProcess(0);
}

void FrmPrincipal::cmdSalir_Click() {
  DestroyWindow(hwnd_);
  ExitProcess(0);
}

LRESULT CALLBACK FrmPrincipal::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<FrmPrincipal*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<FrmPrincipal*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    return self->Handle(message, wparam, lparam);
  } catch (const std::exception& e) {
    ReportErrorAndExit(IsWindowVisible(hwnd) ? hwnd : nullptr, AsError(e));
  }
}

LRESULT FrmPrincipal::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kIdActualizar) cmdActualizar_Click();
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kIdSalir) cmdSalir_Click();
      return 0;
    case WM_NEXTDLGCTL: {
      // Tab and Shift+Tab, passed on by IsDialogMessage.
      HWND next = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam)
                                 : GetNextDlgTabItem(hwnd_, GetFocus(), wparam != 0);
      if (next) SetFocus(next);
      return 0;
    }
    case WM_ACTIVATE:
      // Like a dialog: the focus leaves with the window and comes back to
      // the same control ("Salir" the first time).
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus && IsChild(hwnd_, focus)) focus_ = focus;
      } else if (focus_) {
        SetFocus(focus_);
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wparam), kWhite);
      return reinterpret_cast<LRESULT>(white_);
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      FillRect(item->hDC, &item->rcItem, white_);
      if (item->hwndItem == img_tipo_) tipo_picture_.DrawStretched(item->hDC, item->rcItem);
      if (item->hwndItem == image1_) logo_picture_.DrawStretched(item->hDC, item->rcItem);
      return TRUE;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      // The controls are gone by now, and their font can go.
      DeleteObject(font_);
      font_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace act
