#include "ui/window/message_boxes.h"

#include <string>

#include "platform/win32/win32_errors.h"

namespace act {

const wchar_t* const kAppTitle = L"actualizador";

void WindowBoxes::Show(const std::string& text, int style, const std::string& title) {
  std::wstring wide_title = title.empty() ? std::wstring(kAppTitle) : Wide(title);
  MessageBoxW(owner_, Wide(text).c_str(), wide_title.c_str(), static_cast<UINT>(style));
}

void ReportErrorAndExit(HWND owner, const Error& error) {
  std::string report = "Error " + std::to_string(error.number()) + ": " + error.what();
  MessageBoxW(owner, Wide(report).c_str(), kAppTitle, MB_OK | MB_ICONSTOP);
  ExitProcess(1);
}

}  // namespace act
