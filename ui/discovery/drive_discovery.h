// The installation drive discovery: at load, the drive list is preset to
// the drive that the product's start-up shortcut points to.
#pragma once

#include <string>

#include "engine/message_box.h"
#include "platform/shell/shell.h"

namespace act {

// The one thing the discovery does to the window: select a drive by text.
class DriveList {
 public:
  virtual ~DriveList() = default;
  // Selects the drive the text names (its letter and colon). What happens
  // with a text that names no drive is the drive list's to decide.
  virtual void SetDrive(const std::string& text) = 0;
};

// The text of the warning shown when no start-up shortcut has a target.
extern const char* const kNoShortcutWarning;

// Reads the four start-up shortcuts (user's then all users' Startup folder;
// "\zentaro Deck.lnk" then "\zentaroDeck.lnk" in each), keeps the first two
// characters of the last non-empty target, warns when there is none, and
// hands the result, also when empty, to the drive list.
void buscaUnidadPrograma(Shell& shell, MessageBoxes& boxes, DriveList& drive_list);

// The path of a special folder, or the empty text.
std::string buscaCarpetaEspecial(Shell& shell, int folder);

}  // namespace act
