#include "db/jet/file/working_copy.h"

#include <utility>

#include "platform/error.h"

namespace act::db::jet {

std::string WorkingCopy::CopyName(const std::string& original) { return original + ".write.tmp"; }

WorkingCopy::WorkingCopy(FileSystem& fs, std::string original)
    : fs_(fs), original_(std::move(original)), copy_(CopyName(original_)) {
  held_ = fs_.OpenRandomAccess(original_, true);
  try {
    if (fs_.FileExists(copy_)) fs_.DeleteFile(copy_, true);
    fs_.CopyFile(original_, copy_, false);
  } catch (...) {
    try {
      if (fs_.FileExists(copy_)) fs_.DeleteFile(copy_, true);
    } catch (const Error&) {
      // The copy's own failure is the one to report.
    }
    throw;
  }
}

WorkingCopy::~WorkingCopy() {
  if (replaced_) return;
  held_.reset();
  try {
    if (fs_.FileExists(copy_)) fs_.DeleteFile(copy_, true);
  } catch (const std::exception&) {
    // Already failing, or nothing more to be done about it here; the next
    // writer replaces a copy left behind.
  }
}

void WorkingCopy::ReplaceOriginal() {
  // The copy's pages were written through another handle; a sync of any
  // handle makes all of them durable, and this one makes sure of it
  // whatever the writer did.
  fs_.OpenRandomAccess(copy_, true)->Sync();
  held_.reset();
  fs_.ReplaceFile(original_, copy_);
  replaced_ = true;
}

}  // namespace act::db::jet
