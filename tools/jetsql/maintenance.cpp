#include "tools/jetsql/maintenance.h"

#include <ostream>

#include "db/jet/maintain/compaction.h"
#include "db/jet/maintain/repair.h"

namespace act::jetsql {

bool PrintCheck(const db::jet::ConsistencyReport& report, std::ostream& out) {
  using Kind = db::jet::ConsistencyFinding::Kind;
  for (const db::jet::ConsistencyFinding& f : report.findings) {
    out << (f.kind == Kind::kNote ? "note: " : f.kind == Kind::kNotChecked ? "not checked: " : "")
        << f.subject << ": " << f.what << "\n";
  }
  out << report.Summary() << "\n";
  return !report.damaged();
}

bool Compact(const Options& options, FileSystem& fs, std::ostream& out) {
  db::jet::CompactionReport report = db::jet::CompactDatabase(fs, options.file, options.target);
  const uint64_t before = fs.OpenRandomAccess(options.file, false)->Size();
  const uint64_t after = fs.OpenRandomAccess(options.target, false)->Size();
  out << "compacted " << report.tables << " tables, " << report.rows << " rows: " << before
      << " bytes before, " << after << " bytes after\n";
  for (const db::jet::LeftBehind& lost : report.left_behind) {
    out << "left behind: " << lost.text() << "\n";
  }
  return report.left_behind.empty();
}

bool Repair(const Options& options, FileSystem& fs, std::ostream& out) {
  db::jet::RepairResult result = db::jet::RepairDatabase(fs, options.file);
  out << (result.rewritten ? "rebuilt from its rows; the check now finds:\n"
                           : "no damage found: nothing was changed\n");
  return PrintCheck(result.report, out);
}

}  // namespace act::jetsql
