// actualizador.exe: the window frmPrincipal is the whole program. A failure
// while it loads ends the program before it is shown, with the error report.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "platform/error.h"
#include "platform/win32/system_library.h"
#include "ui/window/frm_principal.h"
#include "ui/window/message_boxes.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  act::LoadLibrariesFromSystemFolderOnly();
  OleInitialize(nullptr);
  // The common controls (the tooltip) are no known DLL: from the system
  // folder, as every such DLL.
  auto init_common_controls = act::SystemFunction<decltype(&InitCommonControlsEx)>(
      L"comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  if (init_common_controls) init_common_controls(&controls);

  static act::FrmPrincipal window;
  try {
    window.Load(instance);
  } catch (const std::exception& e) {
    act::ReportErrorAndExit(nullptr, act::AsError(e));
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window.hwnd(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  OleUninitialize();
  return 0;
}
