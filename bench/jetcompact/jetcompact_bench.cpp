// jetcompact_bench [--check] [songs...]
//
// For each song count, writes a shop's datos.mdb (configuracion and the six
// data tables, the songs as a shop's catalogue holds them: counter key,
// ordinary indexes on title, artist and album, accented text, every value
// in no order: act::test::ShopSongRow), then times its compaction into a
// new file three times and `cp` of the file three times, in the same run,
// and reports the medians and their ratio, with the file's size before and
// after and the peak resident memory (the file is written by a child
// process, so the figure is the compaction's). --check then runs the consistency check on the compacted file
// (outside the timing) and fails on any damage or page left to recover.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/jet/check/consistency_check.h"
#include "db/jet/maintain/compaction.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/carry_over_databases.h"

using namespace act::db;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The median of three runs of `step`, each given its run number; every run
// starts with nothing of the earlier ones waiting to reach the disk.
double MedianOfThree(const std::function<void(int)>& step) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    ::sync();
    auto begin = Clock::now();
    step(i);
    times.push_back(Seconds(begin));
  }
  std::sort(times.begin(), times.end());
  return times[1];
}

// Runs `work` in a child process and waits for it, so that the memory it
// takes is not counted as the compaction's.
bool InChild(const std::function<void()>& work) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int RunOne(long songs, bool check) {
  const std::string dir = testing::ScratchDir("compact_" + std::to_string(songs));
  testing::HostFileSystem fs;
  const std::string source = dir + "/datos.mdb";
  if (!InChild([&] {
        act::test::CarryOverDatabaseContent content = act::test::InstalledContent(songs);
        content.shop_songs = true;
        act::test::WriteCarryOverDatabase(fs, source, content);
      })) {
    return 1;
  }

  auto target = [&](int i) { return dir + "/compacta" + std::to_string(i) + ".mdb"; };
  const double compact_s = MedianOfThree([&](int i) { jet::CompactDatabase(fs, source, target(i)); });
  bool copied = true;
  const double copy_s = MedianOfThree([&](int i) {
    const std::string copy = "cp '" + source + "' '" + dir + "/copia" + std::to_string(i) + ".mdb'";
    copied = copied && std::system(copy.c_str()) == 0;
  });
  if (!copied) return 1;
  const auto before = std::filesystem::file_size(source), after = std::filesystem::file_size(target(0));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%9ld songs: compacted in %.3f s, cp %.3f s: compaction/cp = %.1f; %llu bytes "
              "before, %llu after; peak RSS %ld KiB\n",
              songs, compact_s, copy_s, compact_s / copy_s, (unsigned long long)before,
              (unsigned long long)after, long(usage.ru_maxrss));
  int status = 0;
  if (check) {
    auto db = jet::Database::Open(fs, target(0), false);
    const jet::ConsistencyReport report = jet::CheckDatabase(*db);
    std::printf("  consistency check: %s\n", report.Summary().c_str());
    if (report.damaged() || report.recoverable_pages > 0 || after > before) status = 1;
  }
  std::fflush(stdout);
  std::string cleanup = "rm -rf '" + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> counts;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--check") {
      check = true;
    } else {
      counts.push_back(std::atol(arg.c_str()));
    }
  }
  if (counts.empty()) counts = {100000};
  int status = 0;
  for (long songs : counts) status |= RunOne(songs, check);
  return status;
}
