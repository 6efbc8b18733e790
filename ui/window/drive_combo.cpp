#include "ui/window/drive_combo.h"

#include "platform/win32/win32_errors.h"
#include "ui/discovery/drive_names.h"

namespace act {

void DriveCombo::Attach(HWND combo, Shell& shell) {
  combo_ = combo;
  roots_ = shell.Drives();
  for (const std::string& root : roots_) {
    std::wstring text = Wide(DriveDisplayText(root, shell.DriveLabel(root)));
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  wchar_t folder[MAX_PATH + 1] = L"";
  GetCurrentDirectoryW(MAX_PATH, folder);
  auto current = FindNamedDrive(roots_, Narrow(folder).substr(0, 2));
  SendMessageW(combo_, CB_SETCURSEL, current ? *current : 0, 0);
}

void DriveCombo::SetDrive(const std::string& text) {
  if (auto index = FindNamedDrive(roots_, text)) SendMessageW(combo_, CB_SETCURSEL, *index, 0);
}

std::string DriveCombo::Drive() const {
  wchar_t text[MAX_PATH + 1] = L"";
  GetWindowTextW(combo_, text, MAX_PATH);
  return Narrow(text);
}

}  // namespace act
