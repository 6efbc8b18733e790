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
bool StagedCopyComplete(FileSystem& fs, const RunPaths& paths) {
  return fs.FolderExists(paths.staging) && fs.FileExists(paths.staged_executable) &&
         fs.FileExists(paths.promoted_database) && !fs.FileExists(paths.staged_database);
}

}  // namespace

void NoteSwap(FileSystem& fs, const RunPaths& paths, const std::string& installed,
              const std::string& packaged, RunObserver& observer) {
  const std::string& note = paths.swap_note;
  const std::string& draft = paths.swap_note_draft;
  // A draft that a stop left behind never became the note.
  if (fs.FileExists(draft)) fs.DeleteFile(draft, true);
  const std::string text = "Cambio de instalación en curso: " + paths.installation + " pasa a " +
                           paths.Backup(installed) + " y " + paths.staging + " pasa a " +
                           paths.installation + ".\r\n" +
                           kInstalledKey + installed + "\r\n" + kPackagedKey + packaged + "\r\n";
  {
    std::unique_ptr<RandomAccessFile> file = fs.CreateRandomAccess(draft);
    file->WriteAt(0, text.data(), text.size());
    file->Sync();
  }
  // Whole and synced before it takes its name, and the name is on the disk
  // when the move returns: from here on a note exists, and says it all.
  ObservedStep(observer, "NoteSwap", note, "", [&] { fs.MoveFile(draft, note); });
}

void EndSwapNote(FileSystem& fs, const RunPaths& paths, RunObserver& observer) {
  const std::string& note = paths.swap_note;
  ObservedStep(observer, "DeleteFile", note, "", [&] { fs.DeleteFile(note, true); });
}

void RemoveManifestFiles(FileSystem& fs, const RunPaths& paths, RunObserver& observer) {
  for (const std::string* manifest : {&paths.promoted_manifest, &paths.promoted_search_manifest}) {
    const std::string& path = *manifest;
    if (fs.FileExists(path)) {
      ObservedStep(observer, "DeleteFile", path, "", [&] { fs.DeleteFile(path, false); });
    }
  }
}

std::optional<std::string> FinishInterruptedSwap(FileSystem& fs, const RunPaths& paths,
                                                 RunObserver& observer) {
  const std::string& note_path = paths.swap_note;
  if (!fs.FileExists(note_path)) return std::nullopt;
  const SwapNote note = ReadNote(fs, note_path);
  const std::string& installation = paths.installation;
  const std::string& staging = paths.staging;
  const std::string backup = note.installed.empty() ? "" : paths.Backup(note.installed);

  std::string report = "Se encontró una actualización interrumpida en " + paths.drive;
  if (!note.installed.empty() && !note.packaged.empty())
    report += " (de la versión " + note.installed + " a la " + note.packaged + ")";
  report += ". ";
  bool promoted = false;
  if (fs.FolderExists(installation)) {
    // Promoted already when the staged copy is gone and the installation
    // has the package's version: only the manifest files may be left.
    promoted = !note.packaged.empty() && !fs.FolderExists(staging) &&
               fs.FileExists(paths.installed_executable) &&
               fs.GetFileVersion(paths.installed_executable) == note.packaged;
    report += promoted ? "La nueva instalación ya estaba en " + installation +
                             ": se ha terminado la actualización."
                       : "La instalación " + installation +
                             " estaba en su sitio; no hubo que mover nada.";
  } else if (StagedCopyComplete(fs, paths)) {
    // Never deleted here: it is the only complete new installation, and
    // the old one is not in its place.
    ObservedStep(observer, "MoveFolder", staging, installation,
                 [&] { fs.MoveFolder(staging, installation); });
    promoted = true;
    report += "La nueva instalación estaba completa en " + staging +
              (backup.empty() ? "" : " y la anterior guardada en " + backup) +
              ": se ha terminado la actualización y " + installation +
              " es ya la nueva instalación.";
  } else if (!backup.empty() && fs.FolderExists(backup)) {
    ObservedStep(observer, "MoveFolder", backup, installation,
                 [&] { fs.MoveFolder(backup, installation); });
    report += "La copia nueva no estaba completa: se ha devuelto la instalación anterior de " +
              backup + " a " + installation + ".";
  } else {
    throw Error(kErrPathNotFound,
                "an interrupted update left neither " + installation + " nor a complete " +
                    staging + (backup.empty() ? "" : " nor " + backup) + " (see " + note_path + ")");
  }
  EndSwapNote(fs, paths, observer);
  if (promoted) RemoveManifestFiles(fs, paths, observer);
  observer.InterruptedUpdateFound(report);
  return report;
}

}  // namespace act
