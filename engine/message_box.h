// The modal message boxes that the update run and the drive discovery show.
// The window shows real boxes; the headless front end prints the text.
#pragma once

#include <string>

namespace act {

// Styles, as the Windows MessageBox type flags.
enum MessageStyle : int {
  kMsgPlain = 0,         // OK button only, no icon
  kMsgStop = 16,         // MB_ICONSTOP (MB_ICONHAND)
  kMsgInformation = 64,  // MB_ICONINFORMATION
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box and returns once the operator has closed it. An empty
  // title means the application's own title.
  virtual void Show(const std::string& text, int style, const std::string& title) = 0;
};

}  // namespace act
