// An in-memory engine for the carry-over that logs every call it receives,
// so that tests can check the carry-over's statements and the rules of
// their order. It answers the carry-over's SELECTs from rows a test gives, reading
// them the way Jet would: the walk leaves out the version rows (and, as
// SQL's NOT IN does, rows whose elemento is Null), lookups match the element
// name with letter case ignored and doubled apostrophes read as one.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/database/carry_over_seams.h"
#include "tests/support/carry_over_databases.h"

namespace act::test {

struct FakeDatabase {
  std::vector<Setting> configuracion;
  std::vector<std::string> tables;  // as TableDefs lists them
  // Execute throws act::Error 3078 for a statement that names one of these
  // after FROM or INTO (a table the engine would not find).
  std::set<std::string> missing_tables;
  bool walk_yields_null_elemento = false;  // pass Null elementos through
};

class RecordingEngine : public CarryOverEngine {
 public:
  std::map<std::string, FakeDatabase> databases;  // by path
  std::vector<std::string> calls;

  std::unique_ptr<CarryOverDatabase> OpenDatabase(const std::string& path) override;
};

}  // namespace act::test
