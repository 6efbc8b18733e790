// The database engine as the carry-over uses it: DAO's DBEngine, Database,
// Recordset and TableDefs narrowed to the calls it makes, behind an
// interface so that a test can record every call and statement, and so
// that the carry-over does not depend on how the engine reads and writes
// the files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/dao/dao.h"
#include "engine/run_observer.h"

namespace act {

class CarryOverRecordset {
 public:
  virtual ~CarryOverRecordset() = default;
  // Makes the first row current; fails (3021) when there is none.
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;
  virtual bool Eof() = 0;
  // Fields.Item(name).Value of the current row.
  virtual db::Value Field(const std::string& name) = 0;
  // As DAO counts right after opening: above 0 when a row was found.
  virtual int32_t RecordCount() = 0;
  virtual void Close() = 0;
};

class CarryOverDatabase {
 public:
  virtual ~CarryOverDatabase() = default;
  virtual std::unique_ptr<CarryOverRecordset> OpenRecordset(const std::string& sql) = 0;
  // Without a fail-on-error option: rows the destination refuses are left
  // out and counted; a statement the engine cannot run throws. progress,
  // when given, hears of an append's rows as they go (done, of the source
  // table's total).
  using RowProgress = db::RowProgress;
  virtual StatementCounts Execute(const std::string& sql, const RowProgress& progress) = 0;
  // TableDefs.Refresh, TableDefs.Count and TableDefs.Item(i).Name.
  virtual void RefreshTableDefs() = 0;
  virtual int16_t TableDefCount() = 0;
  virtual std::string TableDefName(int16_t position) = 0;
  virtual void Close() = 0;
};

// DBEngine: opens a database file shared, for reading and writing.
class CarryOverEngine {
 public:
  virtual ~CarryOverEngine() = default;
  virtual std::unique_ptr<CarryOverDatabase> OpenDatabase(const std::string& path) = 0;
};

}  // namespace act
