#include "tests/ui/window_driver.h"

#include <commctrl.h>

namespace act::test {
namespace {

// Ids of a message box's text and icon: Wine's dialog template, then
// Windows' own.
const int kBoxTextIds[] = {100, 0xFFFF};
const int kBoxIconIds[] = {1088, 0x14};

struct Search {
  DWORD pid;
  std::wstring window_class;  // empty: any
  std::wstring caption;       // empty: any
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (!search->window_class.empty() && ClassOf(hwnd) != search->window_class) return TRUE;
  if (!search->caption.empty() && TextOf(hwnd) != search->caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND FindTopLevel(DWORD pid, const std::wstring& window_class, const std::wstring& caption) {
  Search search{pid, window_class, caption, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

Program::Program(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring command = L"\"" + exe + L"\" " + arguments;
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info_))
    info_ = {};
}

Program::~Program() {
  if (info_.hProcess) {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

std::optional<DWORD> Program::WaitExit(DWORD timeout_ms) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeout_ms) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

// WM_GETTEXT itself: GetWindowText of another process's window gives only
// the caption stored by the system, not what a control reports.
std::wstring TextOf(HWND window) {
  wchar_t text[1024] = L"";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      2000, &ignored);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

HWND WaitForWindow(DWORD pid, const std::wstring& caption, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 50) {
    if (HWND found = FindTopLevel(pid, L"", caption)) return found;
    Sleep(50);
  }
  return nullptr;
}

bool HasVisibleWindow(DWORD pid, const std::wstring& caption) {
  return FindTopLevel(pid, L"", caption) != nullptr;
}

std::vector<Child> Children(HWND parent) {
  std::vector<Child> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    children.push_back({child, ClassOf(child), TextOf(child), rect,
                        GetWindowLongW(child, GWL_STYLE), GetDlgCtrlID(child)});
  }
  return children;
}

const Child* FindChild(const std::vector<Child>& children, const std::wstring& window_class,
                       const std::wstring& text) {
  for (const Child& child : children) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, child.window_class.c_str(), -1,
                       window_class.c_str(), -1) == CSTR_EQUAL &&
        child.text == text)
      return &child;
  }
  return nullptr;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

std::optional<Box> WaitForMessageBox(DWORD pid, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 50) {
    if (HWND hwnd = FindTopLevel(pid, L"#32770", L"")) {
      Sleep(100);  // let the box finish laying itself out
      Box box{hwnd, TextOf(hwnd), L"", false, {}};
      for (int id : kBoxTextIds) {
        if (HWND text = GetDlgItem(hwnd, id)) box.text = TextOf(text);
      }
      for (int id : kBoxIconIds) {
        HWND icon = GetDlgItem(hwnd, id);
        if (icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0)) box.icon_shown = true;
      }
      for (const Child& child : Children(hwnd)) {
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, child.window_class.c_str(), -1,
                           L"Button", -1) == CSTR_EQUAL &&
            IsWindowVisible(child.hwnd))
          box.buttons.push_back(child.text);
      }
      return box;
    }
    Sleep(50);
  }
  return std::nullopt;
}

void Answer(const Box& box) {
  for (const Child& child : Children(box.hwnd)) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, child.window_class.c_str(), -1,
                       L"Button", -1) == CSTR_EQUAL &&
        IsWindowVisible(child.hwnd)) {
      Click(child.hwnd);
      return;
    }
  }
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool SelectListItem(HWND combo, const std::wstring& prefix) {
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t item[256] = L"";
    if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) >= 255) continue;
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    if (std::wstring(item).rfind(prefix, 0) == 0) {
      SendMessageW(combo, CB_SETCURSEL, i, 0);
      return true;
    }
  }
  return false;
}

namespace {

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM out) {
  if (ClassOf(hwnd) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

}  // namespace

// TTM_GETTEXT carries a pointer, which the system does not carry between
// processes: the question and the answer are placed in the program's own
// memory.
std::wstring ToolTipOf(HWND window, HWND control) {
  HWND tooltip = nullptr;
  EnumThreadWindows(GetWindowThreadProcessId(window, nullptr), FindTooltip,
                    reinterpret_cast<LPARAM>(&tooltip));
  if (!tooltip) return L"<no tooltip control>";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return L"<no access>";
  constexpr size_t kChars = 256;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(TOOLINFOW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof(TOOLINFOW));
  wchar_t text[kChars] = L"";
  WriteProcessMemory(process, remote, &tool, sizeof(tool), nullptr);
  WriteProcessMemory(process, remote + sizeof(TOOLINFOW), text, sizeof(text), nullptr);
  SendMessageW(tooltip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote));
  ReadProcessMemory(process, remote + sizeof(TOOLINFOW), text, sizeof(text) - sizeof(wchar_t), nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return text;
}

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

std::vector<CaptionMeasure> MeasureCaptions(HWND window, const std::wstring& probe_dll) {
  DWORD pid = 0;
  DWORD thread = GetWindowThreadProcessId(window, &pid);
  HANDLE memory = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(CaptionProbeResults), CaptionProbeMemoryName(pid).c_str());
  auto* results = static_cast<CaptionProbeResults*>(MapViewOfFile(memory, FILE_MAP_READ, 0, 0, 0));
  std::vector<CaptionMeasure> captions;
  HMODULE probe = LoadLibraryW(probe_dll.c_str());
  auto hook_proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "CaptionProbeHook")));
  if (HHOOK hook = hook_proc ? SetWindowsHookExW(WH_CALLWNDPROC, hook_proc, probe, thread) : nullptr) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, RegisterWindowMessageW(kCaptionProbeMessage), 0, 0, SMTO_ABORTIFHUNG,
                        5000, &ignored);
    UnhookWindowsHookEx(hook);
    captions.assign(results->captions, results->captions + results->count);
  }
  if (probe) FreeLibrary(probe);
  UnmapViewOfFile(results);
  CloseHandle(memory);
  return captions;
}

}  // namespace act::test
