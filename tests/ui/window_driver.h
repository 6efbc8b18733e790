// Drives actualizador.exe from outside, as an operator would: finds its
// window and message boxes among the desktop's windows, reads their texts,
// rectangles and styles, selects a drive and presses buttons. Built for
// Windows; runs under the same wineserver as the program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/ui/caption_probe.h"

namespace act::test {

// A started program, ended when the object goes if it still runs.
class Program {
 public:
  Program(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments = L"");
  ~Program();
  DWORD pid() const { return info_.dwProcessId; }
  // The exit code, or nothing when the program still runs after timeout_ms.
  std::optional<DWORD> WaitExit(DWORD timeout_ms);

 private:
  PROCESS_INFORMATION info_{};
};

struct Child {
  HWND hwnd;
  std::wstring window_class;
  std::wstring text;
  RECT rect;  // in the parent's client coordinates
  LONG style;
  int id;
};

struct Box {
  HWND hwnd;
  std::wstring title;
  std::wstring text;
  bool icon_shown;
  std::vector<std::wstring> buttons;
};

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);

// The visible top-level window of the process with this caption, waited for.
HWND WaitForWindow(DWORD pid, const std::wstring& caption, DWORD timeout_ms);
// Whether the process shows a top-level window with this caption now.
bool HasVisibleWindow(DWORD pid, const std::wstring& caption);

// The children in z-order (the order of Tab).
std::vector<Child> Children(HWND parent);
const Child* FindChild(const std::vector<Child>& children, const std::wstring& window_class,
                       const std::wstring& text);
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);

// A message box of the process, waited for.
std::optional<Box> WaitForMessageBox(DWORD pid, DWORD timeout_ms);
// Presses the box's first button.
void Answer(const Box& box);

// Presses a button as a click would (posted: the click may open a modal box).
void Click(HWND button);
// Selects the list item whose text starts with `prefix`; false when none does.
bool SelectListItem(HWND combo, const std::wstring& prefix);

// The tooltip text that the window's tooltip control holds for `control`.
std::wstring ToolTipOf(HWND window, HWND control);

// Colour of a pixel of a window's client area, as drawn.
COLORREF PixelOf(HWND window, int x, int y);

// The texts of the window's children measured inside the program, each with
// its control's own font, by the hook in `probe_dll` (caption_probe.dll);
// empty when the hook could not be set.
std::vector<CaptionMeasure> MeasureCaptions(HWND window, const std::wstring& probe_dll);

}  // namespace act::test
