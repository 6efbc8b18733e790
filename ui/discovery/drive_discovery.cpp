#include "ui/discovery/drive_discovery.h"

namespace act {

const char* const kNoShortcutWarning =
    "No se encuentra el acceso directo de INICIO del Programa zentaro";

void buscaUnidadPrograma(Shell& shell, MessageBoxes& boxes, DriveList& drive_list) {
  static const int kFolders[] = {kCsidlStartup, kCsidlCommonStartup};
  static const char* const kNames[] = {"\\zentaro Deck.lnk", "\\zentaroDeck.lnk"};

  // Every shortcut is opened and a later hit replaces an earlier one, so the
  // all users' folder and the name without a blank take precedence.
  std::string drive;
  for (int folder : kFolders) {
    std::string folder_path = buscaCarpetaEspecial(shell, folder);
    for (const char* name : kNames) {
      std::string target = shell.ShortcutTarget(folder_path + name);
      if (!target.empty()) drive = target.substr(0, 2);
    }
  }
  if (drive.empty()) boxes.Show(kNoShortcutWarning, kMsgPlain, "");
  drive_list.SetDrive(drive);
}

std::string buscaCarpetaEspecial(Shell& shell, int folder) {
  return shell.SpecialFolderPath(folder);
}

}  // namespace act
