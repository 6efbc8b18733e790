// Full-scan benchmark: every row of the largest sample table, read by our
// engine and rendered as mdb-export's CSV, against mdb-export itself on the
// same table in the same run. Reports the ratio (mdb-export time / ours),
// once as measured and once without mdb-export's process start (its time on
// an empty table), plus the pager's cache figures and the peak RSS, which
// show that a scan holds a fixed number of pages.
//
//   jetscan_bench [repetitions [database table]]
// (with a database and table given, that table is scanned instead)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/table_scan.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"

using namespace act::db;
using Clock = std::chrono::steady_clock;

namespace {

struct Target {
  std::string sample, table;
  uint32_t rows = 0;
};

// The user table with the most rows over all samples.
Target Largest() {
  Target best;
  for (const std::string& sample : testing::SampleDatabases()) {
    jet::Database db(std::make_unique<testing::HostFile>(testing::SamplePath(sample)));
    for (const auto& entry : db.tables()) {
      if (entry.is_system()) continue;
      auto t = db.TableAt(entry.tdef_page);
      if (t->row_count > best.rows) best = {sample, entry.name, t->row_count};
    }
  }
  return best;
}

template <typename F>
double MedianMs(int repetitions, F&& f) {
  std::vector<double> times;
  for (int i = 0; i < repetitions; ++i) {
    auto start = Clock::now();
    f();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

size_t MdbExport(const std::string& path, const std::string& table) {
  std::string command = "mdb-export '" + path + "' '" + table + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 0;
  char buffer[65536];
  size_t total = 0, n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) total += n;
  pclose(pipe);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  Target target;
  std::string path;
  if (argc > 3) {
    path = target.sample = argv[2];
    target.table = argv[3];
    jet::Database db(std::make_unique<testing::HostFile>(path));
    target.rows = db.Table(target.table)->row_count;
  } else {
    target = Largest();
    path = testing::SamplePath(target.sample);
  }
  std::printf("table %s of %s: %u rows\n", target.table.c_str(), target.sample.c_str(),
              target.rows);

  size_t our_bytes = 0, peak_pages = 0, reads = 0;
  auto ours = [&](size_t cache_pages) {
    jet::Database db(std::make_unique<testing::HostFile>(path), cache_pages);
    std::string csv = testing::RenderLikeMdbExport(db, target.table);
    our_bytes = csv.size();
    peak_pages = db.pager().peak_cached_pages();
    reads = db.pager().page_reads();
  };
  double ours_ms = MedianMs(repetitions, [&] { ours(jet::Pager::kDefaultCachePages); });
  std::printf("ours:       %8.3f ms  (%zu bytes of CSV, %zu page reads, peak %zu cached pages of %zu)\n",
              ours_ms, our_bytes, reads, peak_pages, jet::Pager::kDefaultCachePages);
  double small_ms = MedianMs(repetitions, [&] { ours(8); });
  std::printf("ours, 8-page cache: %8.3f ms  (%zu page reads, peak %zu cached pages)\n", small_ms,
              reads, peak_pages);

  if (!testing::HaveCommand("mdb-export")) {
    std::printf("mdb-export not available: no ratio\n");
    return 0;
  }
  size_t their_bytes = 0;
  double theirs_ms = MedianMs(repetitions, [&] { their_bytes = MdbExport(path, target.table); });
  // mdb-export's fixed cost: starting the process and opening the file,
  // measured on an empty table of the same file (MSysQueries).
  double startup_ms = MedianMs(repetitions, [&] {
    MdbExport(path, "MSysQueries");
  });
  std::printf("mdb-export: %8.3f ms  (%zu bytes); its start-up alone %.3f ms\n", theirs_ms,
              their_bytes, startup_ms);
  std::printf("ratio mdb-export / ours: %.1fx as measured, %.1fx without mdb-export's start-up\n",
              theirs_ms / ours_ms, std::max(0.0, theirs_ms - startup_ms) / ours_ms);
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS of this process: %ld KiB\n", usage.ru_maxrss);
  return 0;
}
