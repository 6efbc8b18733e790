// The modal message boxes of the window, and the error report that ends the
// program.
#pragma once

#include <windows.h>

#include "engine/message_box.h"
#include "platform/error.h"

namespace act {

// The application's own title, shown by boxes that give none.
extern const wchar_t* const kAppTitle;

class WindowBoxes : public MessageBoxes {
 public:
  // Boxes are modal to `owner` once the window is shown; null before.
  void set_owner(HWND owner) { owner_ = owner; }
  void Show(const std::string& text, int style, const std::string& title) override;

 private:
  HWND owner_ = nullptr;
};

// "Error <n>: <text>" in a stop box with the application's title, then the
// end of the program with status 1.
[[noreturn]] void ReportErrorAndExit(HWND owner, const Error& error);

}  // namespace act
