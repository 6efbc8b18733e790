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

// The carry-over writes only into the staging folder, and the run makes
// that folder durable as a whole (FlushFolder) before it promotes it. A
// sync at the end of every statement would only wait for the disk: a
// settings table of a few thousand rows takes an UPDATE for each. The
// order of each statement's writes is kept; the syncs are left to the run.
class RunSyncedFileSystem : public FileSystem {
 public:
  explicit RunSyncedFileSystem(FileSystem& base) : base_(base) {}
  bool FolderExists(const std::string& p) override { return base_.FolderExists(p); }
  bool FileExists(const std::string& p) override { return base_.FileExists(p); }
  void CopyFolder(const std::string& a, const std::string& b, bool o) override { base_.CopyFolder(a, b, o); }
  void CopyFile(const std::string& a, const std::string& b, bool o) override { base_.CopyFile(a, b, o); }
  void MoveFolder(const std::string& a, const std::string& b) override { base_.MoveFolder(a, b); }
  void MoveFile(const std::string& a, const std::string& b) override { base_.MoveFile(a, b); }
  void DeleteFolder(const std::string& p, bool f) override { base_.DeleteFolder(p, f); }
  void DeleteFile(const std::string& p, bool f) override { base_.DeleteFile(p, f); }
  void CreateFolder(const std::string& p) override { base_.CreateFolder(p); }
  uint32_t GetAttributes(const std::string& p) override { return base_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { base_.SetAttributes(p, a); }
  std::string GetFileVersion(const std::string& p) override { return base_.GetFileVersion(p); }
  std::vector<uint8_t> ReadFileBytes(const std::string& p) override { return base_.ReadFileBytes(p); }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& b) override {
    base_.WriteFileBytes(p, b);
  }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& p, bool w) override {
    return std::make_unique<File>(base_.OpenRandomAccess(p, w));
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return std::make_unique<File>(base_.CreateRandomAccess(p));
  }
  std::vector<std::string> ListFolder(const std::string& p) override { return base_.ListFolder(p); }
  FileStamp GetFileStamp(const std::string& p) override { return base_.GetFileStamp(p); }
  void FlushFolder(const std::string& p) override { base_.FlushFolder(p); }

 private:
  class File : public RandomAccessFile {
   public:
    explicit File(std::unique_ptr<RandomAccessFile> file) : file_(std::move(file)) {}
    size_t ReadAt(uint64_t o, void* b, size_t n) override { return file_->ReadAt(o, b, n); }
    void WriteAt(uint64_t o, const void* d, size_t n) override { file_->WriteAt(o, d, n); }
    uint64_t Size() override { return file_->Size(); }
    void Truncate(uint64_t size) override { file_->Truncate(size); }
    void Sync() override {}
    const std::string& path() const override { return file_->path(); }

   private:
    std::unique_ptr<RandomAccessFile> file_;
  };
  FileSystem& base_;
};

class JetEngine : public CarryOverEngine {
 public:
  explicit JetEngine(FileSystem& fs) : synced_by_run_(fs), shared_(synced_by_run_), dao_(shared_) {}
  std::unique_ptr<CarryOverDatabase> OpenDatabase(const std::string& path) override {
    return std::make_unique<JetDatabase>(shared_, dao_.OpenDatabase(path), path);
  }

 private:
  RunSyncedFileSystem synced_by_run_;
  SharedFileSystem shared_;
  dao::DBEngine dao_;
};

}  // namespace

std::unique_ptr<CarryOverEngine> NewJetCarryOverEngine(FileSystem& fs) {
  return std::make_unique<JetEngine>(fs);
}

}  // namespace act
