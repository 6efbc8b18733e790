#include "engine/database_carry_over_jet.h"

#include <variant>

#include "db/dao/dao.h"
#include "db/exec/statement_executor.h"
#include "db/jet/database.h"
#include "db/sql/parser.h"
#include "engine/database_carry_over_shared_files.h"

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

// True for an append whose destination is the file after IN: it only reads
// the database it runs on.
bool AppendsElsewhere(const std::string& sql) {
  sql::Statement statement = sql::Parse(sql);
  auto* insert = std::get_if<sql::InsertSelectStatement>(&statement);
  return insert && insert->target_file;
}

class JetDatabase : public CarryOverDatabase {
 public:
  JetDatabase(FileSystem& fs, std::unique_ptr<dao::Database> db, std::string path)
      : fs_(fs), db_(std::move(db)), path_(std::move(path)) {}

  std::unique_ptr<CarryOverRecordset> OpenRecordset(const std::string& sql) override {
    return std::make_unique<JetRecordset>(db_->OpenRecordset(sql));
  }

  void Execute(const std::string& sql) override {
    if (AppendsElsewhere(sql)) {
      db::exec::ExecuteStatement(fs_, db_->jet(), sql);
      return;
    }
    // Reading goes on through the read-only side; a statement that changes
    // this database gets a writable one, opened when first needed.
    if (!writer_) writer_ = db::jet::Database::Open(fs_, path_, /*writable=*/true);
    db::exec::ExecuteStatement(fs_, *writer_, sql);
  }

  void RefreshTableDefs() override { db_->TableDefs().Refresh(); }
  int16_t TableDefCount() override { return db_->TableDefs().Count(); }
  std::string TableDefName(int16_t position) override {
    return db_->TableDefs().Item(position).Name();
  }

  void Close() override {
    writer_.reset();
    db_->Close();
  }

 private:
  FileSystem& fs_;
  std::unique_ptr<dao::Database> db_;
  std::string path_;
  std::unique_ptr<db::jet::Database> writer_;
};

class JetEngine : public CarryOverEngine {
 public:
  // The carry-over writes only into the staging folder, which the run makes
  // durable as a whole (FlushFolder) before it promotes it: a sync at the
  // end of every statement would only wait for the disk, and a settings
  // table of a few thousand rows takes an UPDATE for each.
  explicit JetEngine(FileSystem& fs) : shared_(fs, SharedFileSystem::kSyncsLeftToCaller), dao_(shared_) {}
  std::unique_ptr<CarryOverDatabase> OpenDatabase(const std::string& path) override {
    return std::make_unique<JetDatabase>(shared_, dao_.OpenDatabase(path), path);
  }

 private:
  SharedFileSystem shared_;
  dao::DBEngine dao_;
};

}  // namespace

std::unique_ptr<CarryOverEngine> NewJetCarryOverEngine(FileSystem& fs) {
  return std::make_unique<JetEngine>(fs);
}

}  // namespace act
