// The end-to-end tests on drives as customers' machines have them: the
// whole update through actualizador-cli, held to its promises that no byte
// outside the product's folders changes and that the installation is whole
// in \zentaroDeck or in its backup.
#pragma once

#include "cli_fixture.h"

namespace act::test {

class UnusualDrives : public Cli {
 protected:
  // Every file and folder on the drives but in the product's folders (and
  // in `leave_out`, a folder at a drive's root).
  Snapshot Outside(const std::string& leave_out = "") {
    Snapshot outside;
    for (size_t n = 0; n < 3; ++n) {
      const std::string root = drives_.drive(n) + "\\";
      for (const std::string& name : fs().ListFolder(root)) {
        if (n == 0 && (name == "zentaroDeck" || name == "zentaroDeck_NEW" || name == "SOPORTE")) {
          continue;
        }
        const std::string path = root + name;
        if (path == leave_out) continue;
        if (!fs().FolderExists(path)) {
          outside[path] = Text(path);
          continue;
        }
        outside[path] = "<folder>";
        for (const auto& [relative, content] : TakeSnapshot(fs(), path)) {
          outside[path + "\\" + relative] = content;
        }
      }
    }
    return outside;
  }

  Snapshot Installation() { return Take("\\zentaroDeck"); }
  Snapshot Backup() { return Take("\\SOPORTE\\zentaroDeck_2.0.0.0"); }
  Snapshot Take(const std::string& relative) {
    const std::string path = drive + relative;
    return fs().FolderExists(path) ? TakeSnapshot(fs(), path) : Snapshot{{"<absent>", ""}};
  }

  // The customer's music, outside the product, with a read-only song.
  std::string PutMusic() {
    const std::string music = drives_.drive(2) + "\\musica";
    PutText(fs(), music + "\\cumbia.mp3", "cumbia");
    PutText(fs(), music + "\\salsa\\son.mp3", "son");
    fs().SetAttributes(music + "\\cumbia.mp3", kAttrReadOnly);
    return music;
  }
};

}  // namespace act::test
