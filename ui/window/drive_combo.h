// Drive1: a drop-down list of the machine's drives, like the classic drive
// list box. Its text is the selected drive's ("c: [SISTEMA]").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/shell/shell.h"
#include "ui/discovery/drive_discovery.h"

namespace act {

class DriveCombo : public DriveList {
 public:
  // Fills the list and selects the drive of the current folder, as a new
  // drive list box does.
  void Attach(HWND combo, Shell& shell);

  // Selects the drive the text names, by its letter in either case. A text
  // that names no drive of the machine (the empty text after the
  // discovery's warning, "\\" of a network target) leaves the drive shown
  // before: the operator can still pick the drive by hand.
  void SetDrive(const std::string& text) override;

  // The selected drive's text.
  std::string Drive() const;

 private:
  HWND combo_ = nullptr;
  std::vector<std::string> roots_;
};

}  // namespace act
