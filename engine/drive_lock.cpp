#include "engine/drive_lock.h"

#include "platform/error.h"

namespace act {

std::unique_ptr<DriveLock> DriveLock::Take(FileSystem& fs, const RunPaths& paths,
                                           RunObserver& observer) {
  const std::string& support = paths.support;
  bool made_support = false;
  // Two rounds: another run that made the folder and found it empty at its
  // end may remove it between our making and our lock. Two runs may also
  // make it at once; the one that finds it made goes on.
  for (int round = 0;; ++round) {
    if (!fs.FolderExists(support)) {
      try {
        ObservedStep(observer, "CreateFolder", support, "", [&] { fs.CreateFolder(support); });
        made_support = true;
      } catch (const Error& e) {
        if (e.number() != kErrFileAlreadyExists || !fs.FolderExists(support)) throw;
      }
    }
    try {
      std::unique_ptr<FileLock> lock = fs.LockFile(paths.drive_lock, 0, 1);
      if (!lock) return nullptr;
      return std::unique_ptr<DriveLock>(new DriveLock(fs, support, made_support, std::move(lock)));
    } catch (const Error& e) {
      if (round > 0 || e.number() != kErrPathNotFound || fs.FolderExists(support)) throw;
    }
  }
}

DriveLock::~DriveLock() {
  lock_.reset();
  if (!made_support_) return;
  // Nothing may escape a destructor; a folder that cannot go stays.
  try {
    if (fs_.FolderExists(support_) && fs_.ListFolder(support_).empty())
      fs_.DeleteFolder(support_, false);
  } catch (...) {
  }
}

std::string DriveBusyRefusal(const std::string& drive) {
  return "Advertencia!: Ya hay otra actualización en marcha en la unidad " + drive +
         ". Espere a que termine y vuelva a intentarlo.";
}

}  // namespace act
