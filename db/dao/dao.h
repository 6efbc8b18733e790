// The Data Access Objects interface of the engine, shaped like DAO 3.5 as
// the database carry-over uses it: DBEngine.OpenDatabase, Database
// (OpenRecordset, Execute, TableDefs, Close), Recordset (MoveFirst, EOF,
// MoveNext, Fields, RecordCount, Close), TableDefs and TableDef.
//
// One departure in names: DAO's Recordset.EOF is Eof() here, because EOF is
// a macro of the C library.
//
// Failures are act::Error with Jet's numbers (db/errors.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/statement_counts.h"
#include "db/value.h"
#include "platform/file_system.h"

namespace act::db::jet {
class Database;
}
namespace act::db::exec {
class SelectCursor;
class DatabaseSession;
}

namespace act::dao {

using db::Value;

// What a Database and the objects opened from it share: the open file, or
// nothing once the Database is closed.
struct DatabaseState;

class Field {
 public:
  const std::string& Name() const { return name_; }
  const db::Value& Value() const { return value_; }

 private:
  friend class Fields;
  Field(std::string name, db::Value value) : name_(std::move(name)), value_(std::move(value)) {}
  std::string name_;
  db::Value value_;
};

class Recordset;

// The fields of a recordset's current row.
class Fields {
 public:
  int16_t Count() const;
  // By name (case-insensitive); 3265 when the recordset has no such field,
  // 3021 when there is no current row.
  Field Item(const std::string& name) const;
  Field Item(int16_t position) const;

 private:
  friend class Recordset;
  explicit Fields(const Recordset& recordset) : recordset_(recordset) {}
  const Recordset& recordset_;
};

class Recordset {
 public:
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Makes the first row current; 3021 when there is none.
  void MoveFirst();
  // Makes the next row current (or passes the last one); 3021 at EOF.
  void MoveNext();
  // True when there is no current row: an empty result, or past the last.
  bool Eof() const;
  act::dao::Fields Fields() const { return act::dao::Fields(*this); }
  // The rows visited so far, as DAO counts them for a recordset that has not
  // been moved to its end: 1 right after opening when a row was found.
  int32_t RecordCount() const;
  void Close();

 private:
  friend class Database;
  friend class act::dao::Fields;
  Recordset(std::shared_ptr<DatabaseState> state, std::unique_ptr<db::exec::SelectCursor> cursor,
            std::string statement);
  void CheckOpen() const;
  void CheckCurrent() const;
  void Advance();

  std::shared_ptr<DatabaseState> state_;
  std::unique_ptr<db::exec::SelectCursor> cursor_;
  std::string statement_;
  bool eof_ = true;
  int32_t visited_ = 0;
  int32_t position_ = -1;
  bool closed_ = false;
};

class TableDef {
 public:
  const std::string& Name() const { return name_; }

 private:
  friend class TableDefs;
  explicit TableDef(std::string name) : name_(std::move(name)) {}
  std::string name_;
};

// The tables of a database, system tables included, in Jet's name order.
class TableDefs {
 public:
  void Refresh();
  int16_t Count() const;
  // 3265 outside 0..Count()-1.
  TableDef Item(int16_t position) const;

 private:
  friend class Database;
  explicit TableDefs(std::shared_ptr<DatabaseState> state);
  std::shared_ptr<DatabaseState> state_;
  std::vector<std::string> names_;
};

class Database {
 public:
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // A recordset over the rows of a SELECT statement, positioned on its
  // first row (if any).
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql);
  // Runs an action statement (UPDATE, INSERT [IN], CREATE TABLE); rows the
  // destination refuses are left out without failing, as Execute without
  // dbFailOnError does. A SELECT is refused (3065). progress, when given,
  // hears of an append's source rows as it goes through them (done, of the
  // source table's total).
  using RowProgress = db::RowProgress;
  void Execute(const std::string& sql, const RowProgress& progress = nullptr);
  // Rows the last Execute appended, updated or deleted.
  int64_t RecordsAffected() const { return counts_.changed; }
  // What the last Execute did, with the rows it left out by the
  // destination's reason. DAO tells only that some failed; whoever answers
  // for an update needs to know why.
  const db::StatementCounts& Counts() const { return counts_; }
  act::dao::TableDefs& TableDefs();
  void Close();
  const std::string& Name() const { return path_; }
 private:
  friend class DBEngine;
  Database(std::unique_ptr<db::exec::DatabaseSession> session, std::string path);
  std::shared_ptr<DatabaseState> state_;
  std::string path_;
  std::unique_ptr<act::dao::TableDefs> table_defs_;
  db::StatementCounts counts_;
};

class DBEngine {
 public:
  // Files are opened through fs, which must outlive the engine.
  explicit DBEngine(FileSystem& fs) : fs_(fs) {}
  // Opens an existing database (3024 when missing, 3343 when no Jet file).
  std::unique_ptr<Database> OpenDatabase(const std::string& path);
  // Creates a new, empty Access 97 database (58 when the file exists) and
  // opens it.
  std::unique_ptr<Database> CreateDatabase(const std::string& path);

 private:
  FileSystem& fs_;
};

// A text as a literal of a statement built by concatenation: between
// apostrophes, its own apostrophes doubled ('Don''t Stop'), so that a value
// holding one neither ends the literal early nor changes what the statement
// says.
std::string QuoteText(std::string_view text);

}  // namespace act::dao
