// caption_probe.dll: a WH_CALLWNDPROC hook that the window test sets on the
// program's thread. When the program's window receives the probe message,
// each child with a text has it measured as the control draws it: in the
// control's own font (the system font when it has none) and in its client
// area.
#include <windows.h>

#include "tests/ui/caption_probe.h"

namespace {

void Measure(HWND control, act::test::CaptionMeasure& out) {
  GetWindowTextW(control, out.text, 64);
  RECT client{};
  GetClientRect(control, &client);
  out.client = {client.right, client.bottom};
  auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  GetTextFaceW(dc, LF_FACESIZE, out.face);
  GetTextExtentPoint32W(dc, out.text, lstrlenW(out.text), &out.extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
}

void MeasureChildren(HWND window) {
  HANDLE memory = OpenFileMappingW(FILE_MAP_WRITE, FALSE,
                                   act::test::CaptionProbeMemoryName(GetCurrentProcessId()).c_str());
  if (!memory) return;
  auto* results = static_cast<act::test::CaptionProbeResults*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, 0));
  results->count = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child && results->count < 16;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetWindowTextLengthW(child) > 0) Measure(child, results->captions[results->count++]);
  }
  UnmapViewOfFile(results);
  CloseHandle(memory);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK CaptionProbeHook(int code, WPARAM wparam, LPARAM lparam) {
  static const UINT probe = RegisterWindowMessageW(act::test::kCaptionProbeMessage);
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && message->message == probe) MeasureChildren(message->hwnd);
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
