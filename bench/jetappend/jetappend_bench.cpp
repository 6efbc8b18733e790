// jetappend_bench [--indexed | --shuffled | --catalogue] [--check] [rows...]: for each row count, builds a
// source database (a copy of the Access sample testV1997.mdb whose Table3, a
// Long and a Text(50) column without indexes, gets that many rows with
// accented text) -- or, with --indexed, a new database whose songs table has
// a counter key and four unique text indexes; with --shuffled, the same
// with the titles in no order (as a shop's songs come when the rows are in
// the order they were entered); with --catalogue, the same table with four
// indexes that allow repeats --, then times
//   INSERT INTO Table3 IN '<dest>' SELECT * FROM Table3
// three times, each into a fresh copy of the sample, and reports the median;
// then `cp` of the resulting file, with and without a sync of the copy (the
// median of three each), in the same run. Each count runs in its own child process so that its peak
// resident memory is its own. Prints rows/s, peak memory and the ratio of
// the append's time to the copy's. --check then runs the engine's
// consistency check on the result (outside the timing) and fails on any
// finding, so a fast run is also a correct one.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/exec/statement_executor.h"
#include "db/jet/consistency_check.h"
#include "db/jet/empty_database.h"
#include "db/jet/page_allocator.h"
#include "db/jet/table_writer.h"
#include "tests/dbwrite/write_fixture.h"

using namespace act::db;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The songs table of the indexed variant: a counter key and four text
// columns, each under its own (unique) index.
const char* kCreateSongs =
    "CREATE TABLE Table3 (id COUNTER PRIMARY KEY, titulo TEXT(100) UNIQUE, "
    "artista TEXT(80) UNIQUE, album TEXT(80) UNIQUE, genero TEXT(40) UNIQUE)";

// The catalogue variant: the same columns under indexes that allow repeats,
// as a shop's catalogue has them (an artist has many songs, an album a
// dozen, a genre a great many).
const char* kCreateCatalogue[] = {
    "CREATE TABLE Table3 (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(80), "
    "album TEXT(80), genero TEXT(40))",
    "CREATE INDEX por_titulo ON Table3 (titulo)", "CREATE INDEX por_artista ON Table3 (artista)",
    "CREATE INDEX por_album ON Table3 (album)", "CREATE INDEX por_genero ON Table3 (genero)"};
const char* kGenres[] = {"Pop",    "Rock",    "Balada", "Ranchera", "Cumbia", "Salsa",
                         "Bolero", "Tango",   "Flamenco", "Clásica", "Jazz",  "Música de películas"};

bool indexed = false;
bool catalogue = false;
bool shuffled = false;
bool check = false;

std::string MakeDatabase(testing::ScratchFileSystem& fs, const std::string& dir,
                         const std::string& name) {
  if (!indexed) return testing::CopySample("jet3/testV1997.mdb", dir, name);
  std::string path = dir + "/" + name;
  jet::CreateDatabase(fs, path);
  auto db = testing::OpenForWrite(fs, path);
  if (catalogue) {
    for (const char* statement : kCreateCatalogue) exec::ExecuteStatement(fs, *db, statement);
  } else {
    exec::ExecuteStatement(fs, *db, kCreateSongs);
  }
  return path;
}

void BuildSource(testing::ScratchFileSystem& fs, const std::string& path, long rows) {
  auto db = testing::OpenForWrite(fs, path);
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table("Table3"));
  const char* words[] = {"Canción", "Corazón", "Mañana", "Pingüino", "Años", "Ébano"};
  for (long i = 0; i < rows; ++i) {
    std::string n = std::to_string(i);
    std::string text = std::string(words[i % 6]) + " número " + n;
    if (catalogue) {
      // 5,000 artists in no order, ten albums each, twelve genres.
      const long artist = (i * 7919) % 5000;
      const long album = artist * 10 + (i / 5000) % 10;
      writer.Append({Value::Null(), Value::Text(text),
                     Value::Text("Intérprete " + std::to_string(artist)),
                     Value::Text("Álbum " + std::to_string(album)),
                     Value::Text(kGenres[(i * 31) % 12])});
    } else if (indexed) {
      if (shuffled) {
        // A different number for each row (1000003 is prime), in no order.
        const long m = (i * 7919 + 13) % 1000003;
        text = std::string(words[m % 6]) + " número " + std::to_string(m);
      }
      writer.Append({Value::Null(), Value::Text(text), Value::Text("Intérprete " + n),
                     Value::Text("Álbum " + n), Value::Text("Género " + n)});
    } else {
      writer.Append({Value::Long(int32_t(i)), Value::Text(text)});
    }
    if (db->pager().pending_writes() > 1024) {
      writer.Finish();
      db->pager().FlushWrites();
    }
  }
  writer.Finish();
  db->pager().FlushWrites();
}

// One timed append into a fresh destination.
struct Append {
  double seconds = 0;     // wall clock
  double cpu = 0;         // the process's, both threads
  double statement = 0;   // the statement's own thread
  long rows = 0;
};

Append TimeAppend(testing::ScratchFileSystem& fs, const std::string& source,
                  const std::string& dest) {
  auto cpu_seconds = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  // The statement's own thread sets the pace (a helper prepares rows
  // beside it); its CPU time is steadier than the wall clock on a busy host.
  auto thread_seconds = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
  };
  Append a;
  const double cpu_before = cpu_seconds();
  const double thread_before = thread_seconds();
  auto start = Clock::now();
  {
    auto db = jet::Database::Open(fs, source, false);
    auto r = exec::ExecuteStatement(fs, *db, "Insert INTO Table3 IN '" + dest +
                                                 "' SELECT * FROM Table3");
    a.rows = long(r.records_affected);
  }
  a.seconds = Seconds(start);
  a.cpu = cpu_seconds() - cpu_before;
  a.statement = thread_seconds() - thread_before;
  return a;
}

int RunOne(long rows) {
  std::string dir = testing::ScratchDir("bench_" + std::to_string(rows));
  testing::ScratchFileSystem fs;
  std::string source = MakeDatabase(fs, dir, "datos.mdb");
  BuildSource(fs, source, rows);

  // The same append three times from the same source (which it leaves as
  // it was), each into a fresh destination; the median is reported. One
  // run swings by a tenth on a shared host.
  // The destinations are copies of one empty database: made apart, their
  // catalogs would differ by the time their table was created.
  const std::string empty = MakeDatabase(fs, dir, "vacia.mdb");
  std::vector<Append> appends;
  std::string dest;
  for (int i = 0; i < 3; ++i) {
    dest = dir + "/datos" + std::to_string(i) + ".new";
    std::filesystem::copy_file(empty, dest);
    // Each timed step starts with nothing of the earlier ones waiting to
    // reach the disk: the write-back of a gigabyte written before would
    // otherwise hold up whichever step runs into it.
    ::sync();
    appends.push_back(TimeAppend(fs, source, dest));
  }
  std::sort(appends.begin(), appends.end(),
            [](const Append& x, const Append& y) { return x.seconds < y.seconds; });
  const Append& median = appends[1];
  const double append_s = median.seconds;
  const double append_cpu = median.cpu;
  const double statement_cpu = median.statement;
  const long appended = median.rows;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);

  // Copies of the result, the median of three each (each to a fresh file):
  // a plain `cp`, which the page cache serves, and `cp` followed by a sync
  // of the copy, since the append syncs its own result before it returns.
  // The synced copy swings with the disk's write-back.
  auto median_copy = [&](const std::string& name, bool durable) {
    std::vector<double> copies;
    for (int i = 0; i < 3; ++i) {
      std::string target = dir + "/" + name + std::to_string(i) + ".mdb";
      std::string copy = "cp '" + dest + "' '" + target + "'";
      if (durable) copy += " && sync -f '" + target + "'";
      ::sync();  // as before each append
      auto begin = Clock::now();
      if (std::system(copy.c_str()) != 0) return -1.0;
      copies.push_back(Seconds(begin));
    }
    std::sort(copies.begin(), copies.end());
    return copies[1];
  };
  const double copy_s = median_copy("copia", false);
  const double durable_s = median_copy("copia_sync", true);
  if (copy_s <= 0 || durable_s <= 0) return 1;

  std::printf("%s %9ld rows: appended %ld in %.3f s (of %.3f-%.3f), CPU %.3f s (statement's thread %.3f s) (%.0f rows/s), peak RSS %ld KiB; "
              "cp %.3f s, cp+sync %.3f s; append/cp = %.1f, append/(cp+sync) = %.1f\n",
              catalogue ? "catalogue" : shuffled ? "shuffled " : indexed ? "4 unique " : "no index ", rows, appended, append_s,
              appends.front().seconds, appends.back().seconds, append_cpu,
              statement_cpu, appended / append_s, long(usage.ru_maxrss), copy_s, durable_s, append_s / copy_s,
              append_s / durable_s);
  std::fflush(stdout);
  if (check) {
    // The statement does the same work in the same order on every run,
    // whatever the threads' timing: the three results are the same bytes.
    for (int i = 0; i < 2; ++i) {
      std::string compare = "cmp -s '" + dir + "/datos" + std::to_string(i) + ".new' '" + dest + "'";
      if (std::system(compare.c_str()) != 0) {
        std::printf("  the appends' results differ (datos%d.new)\n", i);
        std::fflush(stdout);
        return 1;
      }
    }
    std::printf("  the three results are the same bytes\n");
    auto db = jet::Database::Open(fs, dest, false);
    auto findings = jet::CheckDatabase(*db).findings;
    for (const auto& f : findings) std::printf("  check: %s\n", f.text().c_str());
    std::printf("  consistency check: %zu finding(s)\n", findings.size());
    std::fflush(stdout);  // the child ends with _exit, which does not flush
    if (!findings.empty()) return 1;
  }
  std::string cleanup = "rm -rf '" + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--indexed") indexed = true;
    else if (std::string(argv[i]) == "--catalogue") indexed = catalogue = true;
    else if (std::string(argv[i]) == "--shuffled") indexed = shuffled = true;
    else if (std::string(argv[i]) == "--check") check = true;
    else counts.push_back(std::atol(argv[i]));
  }
  if (counts.empty()) counts = {10000, 100000, 1000000};
  for (long rows : counts) {
    pid_t child = fork();
    if (child == 0) _exit(RunOne(rows));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  return 0;
}
