#include "engine/database/dao_adapter.h"

#include "db/dao/dao.h"
#include "engine/database/shared_files.h"

namespace act {
namespace {

class JetRecordset : public CarryOverRecordset {
 public:
  explicit JetRecordset(std::unique_ptr<dao::Recordset> rs) : rs_(std::move(rs)) {}
  void MoveFirst() override { rs_->MoveFirst(); }
  void MoveNext() override { rs_->MoveNext(); }
  bool Eof() override { return rs_->Eof(); }
  db::Value Field(const std::string& name) override { return rs_->Fields().Item(name).Value(); }
  int32_t RecordCount() override { return rs_->RecordCount(); }
  void Close() override { rs_->Close(); }

 private:
  std::unique_ptr<dao::Recordset> rs_;
};

class JetDatabase : public CarryOverDatabase {
 public:
  explicit JetDatabase(std::unique_ptr<dao::Database> db) : db_(std::move(db)) {}

  std::unique_ptr<CarryOverRecordset> OpenRecordset(const std::string& sql) override {
    return std::make_unique<JetRecordset>(db_->OpenRecordset(sql));
  }

  StatementCounts Execute(const std::string& sql, const RowProgress& progress) override {
    db_->Execute(sql, progress);
    return db_->Counts();
  }

  void RefreshTableDefs() override { db_->TableDefs().Refresh(); }
  int16_t TableDefCount() override { return db_->TableDefs().Count(); }
  std::string TableDefName(int16_t position) override {
    return db_->TableDefs().Item(position).Name();
  }

  void Close() override { db_->Close(); }

 private:
  std::unique_ptr<dao::Database> db_;
};

class JetEngine : public CarryOverEngine {
 public:
  // The carry-over writes only into the staging folder, which the run makes
  // durable as a whole (FlushFolder) before it promotes it: a sync at the
  // end of every statement would only wait for the disk, and a settings
  // table of a few thousand rows takes an UPDATE for each.
  explicit JetEngine(FileSystem& fs) : shared_(fs, SharedFileSystem::kSyncsLeftToCaller), dao_(shared_) {}
  std::unique_ptr<CarryOverDatabase> OpenDatabase(const std::string& path) override {
    return std::make_unique<JetDatabase>(dao_.OpenDatabase(path));
  }

 private:
  SharedFileSystem shared_;
  dao::DBEngine dao_;
};

}  // namespace

std::unique_ptr<CarryOverEngine> NewDaoCarryOverEngine(FileSystem& fs) {
  return std::make_unique<JetEngine>(fs);
}

}  // namespace act
