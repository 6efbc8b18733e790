#include "db/dao/dao.h"

#include <algorithm>
#include <optional>
#include <variant>

#include "db/errors.h"
#include "db/exec/database_session.h"
#include "db/exec/select_cursor.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/database.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/text.h"
#include "db/sql/parser.h"
#include "db/sql/printer.h"

namespace act::dao {

using db::JetFailure;
using db::QuotedStatement;

struct DatabaseState {
  // Writes in place: the carry-over writes into a staged copy, which is
  // its safety. Null once closed.
  std::unique_ptr<db::exec::DatabaseSession> session;
  std::string path;
};

namespace {

db::jet::Database& Open(const DatabaseState& state) {
  if (!state.session) {
    throw JetFailure(db::kJetObjectClosed, "database " + state.path + " is closed");
  }
  return state.session->db();
}

}  // namespace

// --- Fields -------------------------------------------------------------

int16_t Fields::Count() const {
  recordset_.CheckOpen();
  return int16_t(recordset_.cursor_->names().size());
}

Field Fields::Item(const std::string& name) const {
  recordset_.CheckOpen();
  auto position = recordset_.cursor_->Find(name);
  if (!position) {
    throw JetFailure(db::kJetItemNotFound, "field '" + name + "' of " + QuotedStatement(recordset_.statement_));
  }
  return Item(int16_t(*position));
}

Field Fields::Item(int16_t position) const {
  recordset_.CheckOpen();
  const auto& names = recordset_.cursor_->names();
  if (position < 0 || size_t(position) >= names.size()) {
    throw JetFailure(db::kJetItemNotFound, "field " + std::to_string(position) + " of " +
                                               QuotedStatement(recordset_.statement_));
  }
  recordset_.CheckCurrent();
  return Field(names[position], recordset_.cursor_->value(position));
}

// --- Recordset ----------------------------------------------------------

Recordset::Recordset(std::shared_ptr<DatabaseState> state, std::unique_ptr<db::exec::SelectCursor> cursor,
                     std::string statement)
    : state_(std::move(state)), cursor_(std::move(cursor)), statement_(std::move(statement)) {
  Advance();
}

Recordset::~Recordset() = default;

void Recordset::CheckOpen() const {
  if (closed_) throw JetFailure(db::kJetObjectClosed, "recordset " + QuotedStatement(statement_) + " is closed");
  Open(*state_);
}

void Recordset::CheckCurrent() const {
  if (eof_) throw JetFailure(db::kJetNoCurrentRecord, QuotedStatement(statement_));
}

void Recordset::Advance() {
  eof_ = !cursor_->Next();
  if (!eof_) {
    ++position_;
    visited_ = std::max(visited_, position_ + 1);
  }
}

void Recordset::MoveFirst() {
  CheckOpen();
  cursor_->Rewind();
  position_ = -1;
  Advance();
  CheckCurrent();
}

void Recordset::MoveNext() {
  CheckOpen();
  CheckCurrent();
  Advance();
}

bool Recordset::Eof() const {
  CheckOpen();
  return eof_;
}

int32_t Recordset::RecordCount() const {
  CheckOpen();
  return visited_;
}

void Recordset::Close() {
  CheckOpen();
  closed_ = true;
  cursor_.reset();
}

// --- TableDefs ----------------------------------------------------------

TableDefs::TableDefs(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {
  Refresh();
}

void TableDefs::Refresh() {
  db::jet::Database& db = Open(*state_);
  db.Reload();
  // Jet lists a container's objects through its (ParentId, Name) index, so
  // the order is that of the names' sort keys.
  std::vector<std::pair<db::jet::KeyBytes, std::string>> sorted;
  for (const auto& entry : db.tables()) {
    auto cp1252 = db::jet::Utf8ToCp1252(entry.name);
    db::jet::KeyBytes key = cp1252 ? db::jet::Jet3TextKey(*cp1252)
                                   : db::jet::KeyBytes(entry.name.begin(), entry.name.end());
    sorted.emplace_back(std::move(key), entry.name);
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  names_.clear();
  for (auto& [key, name] : sorted) names_.push_back(std::move(name));
}

int16_t TableDefs::Count() const {
  Open(*state_);
  return int16_t(names_.size());
}

TableDef TableDefs::Item(int16_t position) const {
  Open(*state_);
  if (position < 0 || size_t(position) >= names_.size()) {
    throw JetFailure(db::kJetItemNotFound, "table " + std::to_string(position) + " of " +
                                               std::to_string(names_.size()));
  }
  return TableDef(names_[position]);
}

// --- Database -----------------------------------------------------------

Database::Database(std::unique_ptr<db::exec::DatabaseSession> session, std::string path)
    : state_(std::make_shared<DatabaseState>(DatabaseState{std::move(session), path})),
      path_(std::move(path)) {}

Database::~Database() = default;

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& sql_text) {
  db::jet::Database& db = Open(*state_);
  state_->session->statements().Settle();
  sql::Statement statement = sql::Parse(sql_text);
  auto* select = std::get_if<sql::SelectStatement>(&statement);
  if (!select) {
    throw JetFailure(db::kJetInvalidOperation, "OpenRecordset takes a SELECT: " + QuotedStatement(sql_text));
  }
  auto cursor = std::make_unique<db::exec::SelectCursor>(db, *select, sql_text,
                                                         &state_->session->fs());
  return std::unique_ptr<Recordset>(new Recordset(state_, std::move(cursor), sql_text));
}

void Database::Execute(const std::string& sql_text, const RowProgress& progress) {
  Open(*state_);
  sql::Statement statement = sql::Parse(sql_text);
  if (std::holds_alternative<sql::SelectStatement>(statement)) {
    throw JetFailure(db::kJetCannotExecuteSelect, QuotedStatement(sql_text));
  }
  db::exec::DatabaseSession& session = *state_->session;
  counts_ = session.statements().Execute(sql_text, statement, progress);
  session.Commit();
}

act::dao::TableDefs& Database::TableDefs() {
  Open(*state_);
  if (!table_defs_) table_defs_.reset(new act::dao::TableDefs(state_));
  return *table_defs_;
}

void Database::Close() {
  Open(*state_);
  state_->session->Commit();
  state_->session.reset();
}

// --- DBEngine -----------------------------------------------------------

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& path) {
  // Read-only: reading never changes a byte of the file (Execute reopens
  // it for writing when a statement writes into it).
  auto session = std::make_unique<db::exec::DatabaseSession>(fs_, path, db::exec::Writes::kInPlace);
  return std::unique_ptr<Database>(new Database(std::move(session), path));
}

std::unique_ptr<Database> DBEngine::CreateDatabase(const std::string& path) {
  db::jet::CreateDatabase(fs_, path);
  return OpenDatabase(path);
}

std::string QuoteText(std::string_view text) { return sql::QuoteText(text); }

}  // namespace act::dao
