#include "db/exec/database_session.h"

#include <utility>

#include "db/jet/file/in_use_mark.h"

namespace act::db::exec {

DatabaseSession::DatabaseSession(FileSystem& fs, std::string path, Writes writes)
    : fs_(fs), path_(std::move(path)), writes_(writes),
      db_(jet::Database::Open(fs_, path_, /*writable=*/false)) {
  NewStatementRunner();
}

DatabaseSession::~DatabaseSession() = default;

void DatabaseSession::NewStatementRunner() {
  statements_ = std::make_unique<StatementRunner>(fs_, *db_, [this] { BeforeFirstWrite(); });
}

void DatabaseSession::BeforeFirstWrite() {
  if (writes_ == Writes::kInPlace) {
    db_->OpenForWriting(fs_);
    return;
  }
  // No one else may have the file open while it changes, and the copy may
  // replace one a killed writer left only while no other writer runs.
  in_use_ = jet::MarkInUse(fs_, path_);
  try {
    if (writes_ == Writes::kInPlaceMarked) {
      db_->OpenForWriting(fs_);
    } else {
      OpenWorkingCopy();
    }
  } catch (...) {
    in_use_.reset();  // the next statement that writes tries again
    throw;
  }
}

void DatabaseSession::OpenWorkingCopy() {
  // The copy is made from the file while nothing holds it open for reading
  // (Windows would refuse our handle for writing beside our own reader).
  db_->pager().ReplaceFile(nullptr);
  try {
    copy_ = std::make_unique<jet::WorkingCopy>(fs_, path_);
  } catch (...) {
    db_->Reopen(fs_, path_, false);
    throw;
  }
  try {
    db_->Reopen(fs_, copy_->path(), true);
  } catch (...) {
    copy_.reset();
    throw;
  }
}

void DatabaseSession::Commit() {
  statements_->Commit();
  if (!copy_) return;
  db_->pager().ReplaceFile(nullptr);
  copy_->ReplaceOriginal();
  copy_.reset();
  db_->Reopen(fs_, path_, false);
  in_use_.reset();
  NewStatementRunner();
}

}  // namespace act::db::exec
