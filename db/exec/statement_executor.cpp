#include "db/exec/statement_executor.h"

#include <memory>
#include <utility>

#include "db/errors.h"
#include "db/exec/insert_values.h"
#include "db/exec/statement_support.h"
#include "db/sql/parser.h"

namespace act::db::exec {

StatementRunner::StatementRunner(FileSystem& fs, jet::Database& db,
                                 std::function<void()> before_first_write)
    : fs_(fs), db_(db), before_first_write_(std::move(before_first_write)) {}

StatementRunner::~StatementRunner() = default;

StatementCounts StatementRunner::Execute(std::string_view statement, const RowProgress& progress) {
  sql::Statement parsed;
  try {
    parsed = sql::Parse(statement);
  } catch (const act::Error& e) {
    Failed(e, statement, false);
  }
  return Execute(statement, parsed, progress);
}

StatementCounts StatementRunner::Execute(std::string_view statement,
                                         const sql::Statement& parsed,
                                         const RowProgress& progress) {
  // Whether a failure leaves changes of this statement waiting: INSERT ...
  // VALUES refuses a row before it changes anything; the others start from
  // an empty batch, and drop what they leave.
  bool own_changes = false;
  try {
    auto* values = std::get_if<sql::InsertValuesStatement>(&parsed);
    if (values && !values->target_file) return AppendValues(*values, statement);
    Settle();
    own_changes = true;
    if (db_.pager().pending_writes() > 0) db_.pager().FlushWrites(false);
    StatementCounts result = Run(statement, parsed, progress);
    unsynced_ = true;
    return result;
  } catch (const act::Error& e) {
    Failed(e, statement, own_changes);
  }
}

void StatementRunner::Failed(const act::Error& e, std::string_view statement, bool own_changes) {
  if (own_changes) {
    db_.pager().DiscardWrites();
    db_.Reload();
  }
  // The statements before this one stay: what they left waiting goes to
  // the file and is synced. Should that fail too, this statement's failure
  // is still the one reported.
  try {
    Commit();
  } catch (const act::Error&) {
  }
  std::string quoted = QuotedStatement(statement);
  if (e.detail().find(quoted) != std::string::npos) throw e;
  throw act::Error(e.number(), e.text(), e.detail() + ", in " + quoted);
}

StatementCounts StatementRunner::AppendValues(const sql::InsertValuesStatement& s,
                                              std::string_view statement) {
  const jet::CatalogEntry* entry = db_.FindTable(s.table);
  if (!entry || !appender_ || appender_->table->page != entry->tdef_page) {
    Settle();
    WillWrite();
    db_.pager().BeginDeferredWrites();
    appender_ = std::make_unique<TableAppender>(db_, TableOf(db_, s.table, statement));
  }
  appender_->Append(s, statement);
  unsynced_ = true;
  if (db_.pager().pending_writes() > kFlushEveryPages) {
    appender_->writer.Finish();
    db_.pager().FlushWrites(false);
  }
  StatementCounts result;
  result.changed = 1;
  return result;
}

void StatementRunner::Settle() {
  if (!appender_) return;
  appender_->writer.Finish();
  appender_.reset();
  db_.Reload();
}

void StatementRunner::Commit() {
  Settle();
  if (unsynced_ || db_.pager().pending_writes() > 0) db_.pager().FlushWrites(true);
  unsynced_ = false;
}

void StatementRunner::WillWrite() {
  if (!before_first_write_) return;
  before_first_write_();  // tried again by the next statement when it fails
  before_first_write_ = nullptr;
}

StatementCounts StatementRunner::Run(std::string_view statement, const sql::Statement& parsed,
                                     const RowProgress& progress) {
  if (auto* s = std::get_if<sql::InsertSelectStatement>(&parsed)) {
    if (!s->target_file) WillWrite();
    return RunInsertSelect(fs_, db_, *s, statement, progress);
  }
  if (auto* s = std::get_if<sql::InsertValuesStatement>(&parsed)) {
    return RunInsertValuesElsewhere(fs_, db_, *s, statement);
  }
  if (std::holds_alternative<sql::SelectStatement>(parsed)) {
    throw JetFailure(kJetOperationNotSupported,
                     db_.path() + ": the engine does not run this statement: " + QuotedStatement(statement));
  }
  WillWrite();
  if (auto* s = std::get_if<sql::UpdateStatement>(&parsed)) return RunUpdate(db_, *s, statement);
  if (auto* s = std::get_if<sql::DeleteStatement>(&parsed)) return RunDelete(db_, *s, statement);
  if (auto* s = std::get_if<sql::CreateIndexStatement>(&parsed)) {
    return RunCreateIndex(db_, *s, statement);
  }
  if (auto* s = std::get_if<sql::DropTableStatement>(&parsed)) return RunDropTable(db_, *s, statement);
  if (auto* s = std::get_if<sql::DropIndexStatement>(&parsed)) return RunDropIndex(db_, *s, statement);
  if (auto* s = std::get_if<sql::AlterTableStatement>(&parsed)) {
    return RunAlterTable(db_, *s, statement);
  }
  if (auto* s = std::get_if<sql::CreateTableStatement>(&parsed)) {
    return RunCreateTable(db_, *s, statement);
  }
  throw JetFailure(kJetOperationNotSupported,
                   db_.path() + ": the engine does not run this statement: " +
                       QuotedStatement(statement));
}

StatementCounts ExecuteStatement(FileSystem& fs, jet::Database& db, std::string_view statement,
                                 const RowProgress& progress) {
  StatementRunner runner(fs, db);
  StatementCounts result = runner.Execute(statement, progress);
  runner.Commit();
  return result;
}

}  // namespace act::db::exec
