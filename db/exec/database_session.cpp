#include "db/exec/database_session.h"

#include <utility>

namespace act::db::exec {

DatabaseSession::DatabaseSession(FileSystem& fs, std::string path, Writes writes)
    : fs_(fs), path_(std::move(path)), writes_(writes),
      db_(jet::Database::Open(fs_, path_, /*writable=*/false)) {
  NewStatementRunner();
}

DatabaseSession::~DatabaseSession() {
  // The runner first: it refers to the database.
  statements_.reset();
  db_.reset();
}

void DatabaseSession::NewStatementRunner() {
  statements_ = std::make_unique<StatementRunner>(fs_, *db_, [this] { BeforeFirstWrite(); });
}

void DatabaseSession::BeforeFirstWrite() {
  if (writes_ == Writes::kInPlace) {
    db_->OpenForWriting(fs_);
    return;
  }
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
  NewStatementRunner();
}

}  // namespace act::db::exec
