// The row encoder against rows Access wrote: every row of every Jet 3
// sample whose stored bytes are fully determined by its values (no memo or
// OLE field, no null fixed column, whose bytes Access leaves as garbage)
// must come out of EncodeRow byte for byte as stored.
#include <gtest/gtest.h>

#include "db/jet/file/data_page.h"
#include "db/jet/table/database.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"

namespace act::db::testing {
namespace {

TEST(RowEncoder, ReproducesAccessRowsOfEverySample) {
  int compared = 0;
  for (const std::string& sample : SampleDatabases()) {
    if (sample.find("jet3/") != 0) continue;
    jet::Database db(std::make_unique<HostFile>(SamplePath(sample)));
    for (const auto& entry : db.tables()) {
      auto table = db.TableAt(entry.tdef_page);
      jet::TableScan scan(db.pager(), db.format(), *table);
      // Values, fields and row are reused from row to row, as the writer
      // reuses them: nothing of one row may leak into the next.
      std::vector<Value> values(table->columns.size());
      std::vector<jet::StoredField> fields(table->columns.size());
      std::vector<uint8_t> encoded;
      while (scan.Next()) {
        bool comparable = true;
        for (size_t i = 0; i < table->columns.size(); ++i) {
          const jet::ColumnDef& c = table->columns[i];
          Value& v = values[i];
          scan.Read(i, v);
          ASSERT_EQ(v, scan.Get(i));
          if (c.is_long_value() && !v.is_null()) comparable = false;
          if (c.is_fixed() && c.type != jet::kTypeBoolean && v.is_null()) comparable = false;
          if (!comparable) break;
          jet::EncodeField(c, v, sample, fields[i]);
        }
        if (!comparable) continue;
        auto stored = jet::ReadRowAt(db.pager(), db.format(), scan.position(), table->page);
        ASSERT_TRUE(stored);
        std::vector<uint8_t> expected(stored->bytes.begin(), stored->bytes.end());
        jet::EncodeRow(db.format(), *table, fields, encoded);
        EXPECT_EQ(expected, encoded)
            << sample << " " << entry.name << " page " << scan.position().page << " row "
            << int(scan.position().row);
        ++compared;
      }
    }
  }
  // The samples hold well over a thousand such rows; a filter that let none
  // through would prove nothing.
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace act::db::testing
