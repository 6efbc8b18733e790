#include "engine/swap_journal.h"

#include <cstring>

#include "platform/error.h"

namespace act {
namespace {

constexpr const char* kInstalledKey = "instalada=";
constexpr const char* kPackagedKey = "nueva=";

// The version texts the note names; empty when the note does not say.
struct SwapNote {
  std::string installed, packaged;
};

SwapNote ReadNote(FileSystem& fs, const std::string& path) {
  const std::vector<uint8_t> bytes = fs.ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  SwapNote note;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with(kInstalledKey)) note.installed = line.substr(std::strlen(kInstalledKey));
    if (line.starts_with(kPackagedKey)) note.packaged = line.substr(std::strlen(kPackagedKey));
    start = end + 1;
  }
  return note;
}

// The staged copy as the swap leaves it before anything moves: flushed,
// its database renamed. Only a note written after both exists, so a
// staged copy with a note is complete unless someone changed it since.
bool StagedCopyComplete(FileSystem& fs, const std::string& staging) {
  return fs.FolderExists(staging) && fs.FileExists(staging + "\\zentaroDeck.exe") &&
         fs.FileExists(staging + "\\datos.mdb") && !fs.FileExists(staging + "\\datos.new");
}

}  // namespace

void NoteSwap(FileSystem& fs, const std::string& drive, const std::string& installed,
              const std::string& packaged, RunObserver& observer) {
  const std::string note = drive + kSwapNoteFile;
  const std::string draft = drive + "\\SOPORTE\\actualizacion_en_curso.tmp";
  // A draft that a stop left behind never became the note.
  if (fs.FileExists(draft)) fs.DeleteFile(draft, true);
  const std::string text = "Cambio de instalación en curso: " + drive + "\\zentaroDeck pasa a " +
                           drive + "\\SOPORTE\\zentaroDeck_" + installed + " y " + drive +
                           "\\zentaroDeck_NEW pasa a " + drive + "\\zentaroDeck.\r\n" +
                           kInstalledKey + installed + "\r\n" + kPackagedKey + packaged + "\r\n";
  {
    std::unique_ptr<RandomAccessFile> file = fs.CreateRandomAccess(draft);
    file->WriteAt(0, text.data(), text.size());
    file->Sync();
  }
  // Whole and synced before it takes its name, and the name is on the disk
  // when the move returns: from here on a note exists, and says it all.
  observer.StepStarting("NoteSwap", note, "");
  fs.MoveFile(draft, note);
  observer.FileStep("NoteSwap", note, "");
}

void EndSwapNote(FileSystem& fs, const std::string& drive, RunObserver& observer) {
  const std::string note = drive + kSwapNoteFile;
  observer.StepStarting("DeleteFile", note, "");
  fs.DeleteFile(note, true);
  observer.FileStep("DeleteFile", note, "");
}

void RemoveManifestFiles(FileSystem& fs, const std::string& installation, RunObserver& observer) {
  for (const char* manifest : {"\\actualizador.ini", "\\update_ss.ini"}) {
    const std::string path = installation + manifest;
    if (fs.FileExists(path)) {
      observer.StepStarting("DeleteFile", path, "");
      fs.DeleteFile(path, false);
      observer.FileStep("DeleteFile", path, "");
    }
  }
}

std::optional<std::string> FinishInterruptedSwap(FileSystem& fs, const std::string& drive,
                                                 RunObserver& observer) {
  const std::string note_path = drive + kSwapNoteFile;
  if (!fs.FileExists(note_path)) return std::nullopt;
  const SwapNote note = ReadNote(fs, note_path);
  const std::string installation = drive + "\\zentaroDeck";
  const std::string staging = drive + "\\zentaroDeck_NEW";
  const std::string backup =
      note.installed.empty() ? "" : drive + "\\SOPORTE\\zentaroDeck_" + note.installed;

  std::string report = "Se encontró una actualización interrumpida en " + drive;
  if (!note.installed.empty() && !note.packaged.empty())
    report += " (de la versión " + note.installed + " a la " + note.packaged + ")";
  report += ". ";
  bool promoted = false;
  if (fs.FolderExists(installation)) {
    // Promoted already when the staged copy is gone and the installation
    // has the package's version: only the manifest files may be left.
    promoted = !note.packaged.empty() && !fs.FolderExists(staging) &&
               fs.FileExists(installation + "\\zentaroDeck.exe") &&
               fs.GetFileVersion(installation + "\\zentaroDeck.exe") == note.packaged;
    report += promoted ? "La nueva instalación ya estaba en " + installation +
                             ": se ha terminado la actualización."
                       : "La instalación " + installation +
                             " estaba en su sitio; no hubo que mover nada.";
  } else if (StagedCopyComplete(fs, staging)) {
    // Never deleted here: it is the only complete new installation, and
    // the old one is not in its place.
    observer.StepStarting("MoveFolder", staging, installation);
    fs.MoveFolder(staging, installation);
    observer.FileStep("MoveFolder", staging, installation);
    promoted = true;
    report += "La nueva instalación estaba completa en " + staging +
              (backup.empty() ? "" : " y la anterior guardada en " + backup) +
              ": se ha terminado la actualización y " + installation +
              " es ya la nueva instalación.";
  } else if (!backup.empty() && fs.FolderExists(backup)) {
    observer.StepStarting("MoveFolder", backup, installation);
    fs.MoveFolder(backup, installation);
    observer.FileStep("MoveFolder", backup, installation);
    report += "La copia nueva no estaba completa: se ha devuelto la instalación anterior de " +
              backup + " a " + installation + ".";
  } else {
    throw Error(kErrPathNotFound,
                "an interrupted update left neither " + installation + " nor a complete " +
                    staging + (backup.empty() ? "" : " nor " + backup) + " (see " + note_path + ")");
  }
  EndSwapNote(fs, drive, observer);
  if (promoted) RemoveManifestFiles(fs, installation, observer);
  observer.InterruptedUpdateFound(report);
  return report;
}

}  // namespace act
