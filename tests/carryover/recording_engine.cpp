#include "tests/carryover/recording_engine.h"

#include <algorithm>
#include <cctype>

#include "platform/error.h"

namespace act::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class FakeRecordset : public CarryOverRecordset {
 public:
  FakeRecordset(RecordingEngine& engine, std::string name, std::vector<Setting> rows,
                std::vector<std::string> columns)
      : engine_(engine), name_(std::move(name)), rows_(std::move(rows)), columns_(columns) {}
  void MoveFirst() override {
    engine_.calls.push_back("MoveFirst " + name_);
    if (rows_.empty()) throw Error(3021, "No current record: " + name_);
    at_ = 0;
  }
  void MoveNext() override { ++at_; }
  bool Eof() override { return at_ >= rows_.size(); }
  db::Value Field(const std::string& name) override {
    if (std::find(columns_.begin(), columns_.end(), name) == columns_.end())
      throw Error(3265, "no field " + name + " in " + name_);
    if (Eof()) throw Error(3021, "No current record: " + name_);
    const Setting& r = rows_[at_];
    return name == "elemento" ? r.elemento : name == "valor_s" ? r.valor_s : r.valor;
  }
  int32_t RecordCount() override { return rows_.empty() ? 0 : 1; }
  void Close() override { engine_.calls.push_back("Close " + name_); }

 private:
  RecordingEngine& engine_;
  std::string name_;
  std::vector<Setting> rows_;
  std::vector<std::string> columns_;
  size_t at_ = 0;
};

class FakeDb : public CarryOverDatabase {
 public:
  FakeDb(RecordingEngine& engine, std::string path) : engine_(engine), path_(std::move(path)) {}
  FakeDatabase& data() { return engine_.databases.at(path_); }

  std::unique_ptr<CarryOverRecordset> OpenRecordset(const std::string& sql) override {
    engine_.calls.push_back("OpenRecordset " + path_ + ": " + sql);
    const std::string walk =
        "SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')";
    std::vector<Setting> rows;
    if (sql == walk) {
      for (const Setting& r : data().configuracion) {
        if (r.elemento.is_null() && !data().walk_yields_null_elemento) continue;
        std::string e = Lower(r.elemento.ToText());
        if (!r.elemento.is_null() && (e == "versionbd" || e == "versioncli")) continue;
        rows.push_back(r);
      }
      return std::make_unique<FakeRecordset>(engine_, "walk", rows,
                                             std::vector<std::string>{"elemento", "valor_s", "valor"});
    }
    const std::string marker = " FROM configuracion WHERE elemento='";
    size_t at = sql.find(marker);
    if (at == std::string::npos || sql.back() != '\'') throw Error(3075, "unexpected: " + sql);
    std::string quoted = sql.substr(at + marker.size(), sql.size() - at - marker.size() - 1);
    std::string name;
    for (size_t i = 0; i < quoted.size(); ++i) {
      if (quoted[i] == '\'') {
        if (i + 1 >= quoted.size() || quoted[i + 1] != '\'')
          throw Error(3075, "Syntax error (missing operator): " + sql);
        ++i;
      }
      name += quoted[i];
    }
    for (const Setting& r : data().configuracion) {
      if (!r.elemento.is_null() && Lower(r.elemento.ToText()) == Lower(name)) rows.push_back(r);
    }
    std::string column = sql.substr(std::string("SELECT elemento,").size(),
                                    at - std::string("SELECT elemento,").size());
    return std::make_unique<FakeRecordset>(engine_, "lookup", rows,
                                           std::vector<std::string>{"elemento", column});
  }

  StatementCounts Execute(const std::string& sql, const RowProgress&) override {
    engine_.calls.push_back("Execute " + path_ + ": " + sql);
    for (const std::string& t : data().missing_tables) {
      if (sql.find("INTO " + t + " ") != std::string::npos ||
          sql.find("FROM " + t, sql.size() - t.size() - 5) != std::string::npos)
        throw Error(3078, "table '" + t + "' not found, in \"" + sql + "\"");
    }
    return {};
  }
  void RefreshTableDefs() override { engine_.calls.push_back("TableDefs.Refresh " + path_); }
  int16_t TableDefCount() override {
    engine_.calls.push_back("TableDefs.Count " + path_);
    return int16_t(data().tables.size());
  }
  std::string TableDefName(int16_t i) override {
    engine_.calls.push_back("TableDefs.Item " + std::to_string(i));
    return data().tables.at(size_t(i));
  }
  void Close() override { engine_.calls.push_back("Close " + path_); }

 private:
  RecordingEngine& engine_;
  std::string path_;
};

}  // namespace

std::unique_ptr<CarryOverDatabase> RecordingEngine::OpenDatabase(const std::string& path) {
  calls.push_back("OpenDatabase " + path);
  if (!databases.count(path)) throw Error(3024, "Could not find file '" + path + "'");
  return std::make_unique<FakeDb>(*this, path);
}

}  // namespace act::test
