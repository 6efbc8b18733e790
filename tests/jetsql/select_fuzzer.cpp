// libFuzzer target: any bytes as a statement run by the engine's SELECT cursor on
// a sample database held in memory, so that every tree the parser accepts
// meets the engine's executor. A refusal (act::Error) is fine; a crash, a
// sanitizer report or another exception is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "db/exec/select_cursor.h"
#include "db/jet/table/database.h"
#include "db/jet/file/memory_file.h"
#include "db/sql/parser.h"
#include "platform/error.h"
#include "tools/jetsql/formats.h"

namespace {

act::db::jet::Database& Sample() {
  static std::unique_ptr<act::db::jet::Database> db = [] {
    std::ifstream in(std::string(ACT_TEST_DATA_DIR) + "/jet/jet3/testV1997.mdb", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.empty()) std::abort();  // no sample: nothing would be tested
    return std::make_unique<act::db::jet::Database>(
        std::make_unique<act::db::jet::MemoryFile>(std::move(bytes), "testV1997.mdb"));
  }();
  return *db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    act::sql::Statement statement = act::sql::Parse(text);
    auto* select = std::get_if<act::sql::SelectStatement>(&statement);
    if (!select) return 0;
    act::db::exec::SelectCursor cursor(Sample(), *select, text);
    std::string sink;
    while (cursor.Next()) {
      sink += act::jetsql::CsvRow(cursor.values()) +
              act::jetsql::JsonRow(cursor.names(), cursor.values());
    }
  } catch (const act::Error&) {
  }
  return 0;
}
