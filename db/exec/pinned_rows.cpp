#include "db/exec/pinned_rows.h"

#include "db/exec/value_order.h"

namespace act::db::exec {

namespace {

// Past this many rows the kept positions would cost more memory than a
// catalogue's worth of settings warrants; such tables are scanned.
constexpr uint32_t kMostRowsKept = 100000;

}  // namespace

void NarrowToPinnedRows(jet::Database& db, const jet::TableDefinition& table,
                        const Condition& where, jet::TableScan& scan) {
  const auto pinned = where.Pinned();
  if (!pinned || table.columns[pinned->place].type != jet::kTypeText) return;
  const jet::Database::RowsByKey* rows = db.KeptRows(table.page, pinned->place);
  if (!rows) {
    if (table.row_count > kMostRowsKept) return;
    jet::Database::RowsByKey built;
    jet::TableScan all(db.pager(), db.format(), table);
    Value value;
    while (all.Next()) {
      all.Read(pinned->place, value);
      // The same key the condition compares by; a Null never equals.
      if (ClassOfValue(value) == ValueClass::kText) {
        built[TextCompareKey(value.bytes())].push_back(all.position());
      }
    }
    rows = &db.KeepRows(table.page, pinned->place, std::move(built));
  }
  const auto found = rows->find(pinned->key);
  scan.Only(found == rows->end() ? std::vector<jet::RowPointer>{} : found->second);
}

}  // namespace act::db::exec
