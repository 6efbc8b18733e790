// jetappend_bench [--indexed | --shuffled | --catalogue | --real] [--into N] [--check] [--keep]
//                 [rows...]
//
// For each row count, builds a source database whose table gets that many
// rows, then times
//   INSERT INTO Table3 IN '<dest>' SELECT * FROM Table3
// three times, each into a fresh copy of one destination, and reports the
// median; then `cp` of the source file, with and without a sync of the
// copy (the median of three each), in the same run. The variants:
//   (none)       the Access sample testV1997.mdb's Table3: a Long and a
//                Text(50), no index;
//   --indexed    a songs table: a counter key and four unique text indexes
//                (title, artist, album, genre), titles cycling through six
//                words;
//   --shuffled   the same with the titles in no order;
//   --catalogue  the same columns under indexes that allow repeats: 5,000
//                artists in no order, ten albums each, twelve genres;
//   --real       a shop's songs table (counter key, title, artist, album,
//                genre, length, file, plays) with ordinary indexes on title,
//                artist and album, every value in no order, as the songs
//                come when they are stored in the order they were added
//                (act::test::ShopSongRow).
// --into N appends into a destination that already holds N rows of the
// same kind (other keys) instead of an empty one.
//
// Each count runs in a child process, and the source is built in a child
// of that one, so the peak resident memory printed is the appends' own.
// --check then runs the engine's consistency check on the result (outside
// the timing), holds the three results to the same bytes, and has
// mdb-export read the table back; it fails on any finding. --keep leaves
// the files in place and prints where.
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

#include "db/exec/statement_executor.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/host_file_system.h"

using namespace act::db;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

enum class Kind { kPlain, kIndexed, kShuffled, kCatalogue, kReal };
Kind kind = Kind::kPlain;
long into = 0;
bool check = false;
bool keep = false;

const char* Name() {
  switch (kind) {
    case Kind::kPlain: return "no index ";
    case Kind::kIndexed: return "4 unique ";
    case Kind::kShuffled: return "shuffled ";
    case Kind::kCatalogue: return "catalogue";
    case Kind::kReal: return "real     ";
  }
  return "";
}

std::vector<std::string> Design() {
  switch (kind) {
    case Kind::kPlain: return {};
    case Kind::kIndexed:
    case Kind::kShuffled:
      return {"CREATE TABLE Table3 (id COUNTER PRIMARY KEY, titulo TEXT(100) UNIQUE, "
              "artista TEXT(80) UNIQUE, album TEXT(80) UNIQUE, genero TEXT(40) UNIQUE)"};
    case Kind::kCatalogue:
      return {"CREATE TABLE Table3 (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(80), "
              "album TEXT(80), genero TEXT(40))",
              "CREATE INDEX por_titulo ON Table3 (titulo)",
              "CREATE INDEX por_artista ON Table3 (artista)",
              "CREATE INDEX por_album ON Table3 (album)",
              "CREATE INDEX por_genero ON Table3 (genero)"};
    case Kind::kReal:
      return {"CREATE TABLE Table3 (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(100), "
              "album TEXT(100), genero TEXT(50), duracion LONG, archivo TEXT(255), "
              "reproducciones LONG)",
              "CREATE INDEX porTitulo ON Table3 (titulo)",
              "CREATE INDEX porArtista ON Table3 (artista)",
              "CREATE INDEX porAlbum ON Table3 (album)"};
  }
  return {};
}

const char* kWords[] = {"Canción", "Corazón", "Mañana", "Pingüino", "Años", "Ébano"};
const char* kGenres[] = {"Pop",    "Rock",  "Balada",   "Ranchera", "Cumbia", "Salsa",
                         "Bolero", "Tango", "Flamenco", "Clásica",  "Jazz",   "Música de películas"};
// Row i of the table; `base` > 0 gives the rows of a destination that
// already holds some (their own keys, counter values from base).
std::vector<Value> Row(long i, long base) {
  const long n = i + base;
  const std::string number = std::to_string(n);
  const Value id = base > 0 ? Value::Long(int32_t(base + i)) : Value::Null();
  switch (kind) {
    case Kind::kPlain:
      return {Value::Long(int32_t(n)), Value::Text(std::string(kWords[n % 6]) + " número " + number)};
    case Kind::kIndexed:
    case Kind::kShuffled: {
      std::string title = std::string(kWords[n % 6]) + " número " + number;
      if (kind == Kind::kShuffled) {
        // A different number for each row (1000003 is prime), in no order.
        const long m = (n * 7919 + 13) % 1000003 + base;
        title = std::string(kWords[m % 6]) + " número " + std::to_string(m);
      }
      return {id, Value::Text(title), Value::Text("Intérprete " + number),
              Value::Text("Álbum " + number), Value::Text("Género " + number)};
    }
    case Kind::kCatalogue: {
      const long artist = (n * 7919) % 5000;
      const long album = artist * 10 + (n / 5000) % 10;
      return {id, Value::Text(std::string(kWords[n % 6]) + " número " + number),
              Value::Text("Intérprete " + std::to_string(artist)),
              Value::Text("Álbum " + std::to_string(album)), Value::Text(kGenres[(n * 31) % 12])};
    }
    case Kind::kReal: return act::test::ShopSongRow(n + 1);
  }
  return {};
}

std::string MakeDatabase(act::test::HostFileSystem& fs, const std::string& dir,
                         const std::string& name) {
  if (kind == Kind::kPlain) return testing::CopySample("jet3/testV1997.mdb", dir, name);
  std::string path = dir + "/" + name;
  jet::CreateDatabase(fs, path);
  auto db = testing::OpenForWrite(fs, path);
  for (const std::string& statement : Design()) exec::ExecuteStatement(fs, *db, statement);
  return path;
}

void Fill(act::test::HostFileSystem& fs, const std::string& path, long rows, long base) {
  auto db = testing::OpenForWrite(fs, path);
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table("Table3"));
  for (long i = 0; i < rows; ++i) {
    writer.Append(Row(i, base));
    if (db->pager().pending_writes() > 1024) {
      writer.Finish();
      db->pager().FlushWrites();
    }
  }
  writer.Finish();
  db->pager().FlushWrites();
}

// Runs `work` in a child process and waits for it: its memory is its own.
bool InChild(const std::function<void()>& work) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    work();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One timed append into a fresh destination.
struct Append {
  double seconds = 0;    // wall clock
  double cpu = 0;        // the process's, both threads
  double statement = 0;  // the statement's own thread
  long rows = 0;
};

Append TimeAppend(act::test::HostFileSystem& fs, const std::string& source,
                  const std::string& dest) {
  auto cpu_seconds = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  // The statement's own thread; a helper prepares rows beside it.
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
    a.rows = long(r.changed);
  }
  a.seconds = Seconds(start);
  a.cpu = cpu_seconds() - cpu_before;
  a.statement = thread_seconds() - thread_before;
  return a;
}

bool Check(act::test::HostFileSystem& fs, const std::string& dir, const std::string& dest,
           long expected_rows) {
  // The statement does the same work in the same order on every run,
  // whatever the threads' timing: the three results are the same bytes.
  for (int i = 0; i < 2; ++i) {
    std::string compare = "cmp -s '" + dir + "/datos" + std::to_string(i) + ".new' '" + dest + "'";
    if (std::system(compare.c_str()) != 0) {
      std::printf("  the appends' results differ (datos%d.new)\n", i);
      return false;
    }
  }
  std::printf("  the three results are the same bytes\n");
  auto db = jet::Database::Open(fs, dest, false);
  const jet::ConsistencyReport report = jet::CheckDatabase(*db);
  const auto findings = jet::Faults(report);
  for (const auto& f : findings) std::printf("  check: %s\n", f.text().c_str());
  std::printf("  consistency check: %s\n", report.Summary().c_str());
  const int exported = testing::MdbExportRowCount(dest, "Table3");
  std::printf("  mdb-export reads %d rows (%ld expected)\n", exported, expected_rows);
  return findings.empty() && exported == expected_rows;
}

int RunOne(long rows) {
  std::string dir = testing::ScratchDir("bench_" + std::to_string(rows));
  act::test::HostFileSystem fs;
  const std::string source = dir + "/datos.mdb";
  // The destinations are copies of one database: made apart, their
  // catalogs would differ by the time their table was created.
  const std::string empty = dir + "/vacia.mdb";
  if (!InChild([&] {
        MakeDatabase(fs, dir, "datos.mdb");
        Fill(fs, source, rows, 0);
        MakeDatabase(fs, dir, "vacia.mdb");
        if (into > 0) Fill(fs, empty, into, 10000000);
      })) {
    return 1;
  }

  // The same append three times from the same source (which it leaves as
  // it was), each into a fresh destination; the median is reported. One
  // run swings by a tenth on a shared host.
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
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);

  // Copies of the source file, the median of three each (each to a fresh
  // file): a plain `cp`, which the page cache serves, and `cp` followed by a
  // sync of the copy.
  auto median_copy = [&](const std::string& name, bool durable) {
    std::vector<double> copies;
    for (int i = 0; i < 3; ++i) {
      std::string target = dir + "/" + name + std::to_string(i) + ".mdb";
      std::string copy = "cp '" + source + "' '" + target + "'";
      if (durable) copy += " && sync -f '" + target + "'";
      ::sync();  // as before each append
      auto begin = Clock::now();
      if (std::system(copy.c_str()) != 0) return -1.0;
      copies.push_back(Seconds(begin));
      std::filesystem::remove(target);
    }
    std::sort(copies.begin(), copies.end());
    return copies[1];
  };
  const double copy_s = median_copy("copia", false);
  const double durable_s = median_copy("copia_sync", true);
  if (copy_s <= 0 || durable_s <= 0) return 1;

  std::printf("%s %9ld rows%s: appended %ld in %.3f s (of %.3f-%.3f), CPU %.3f s (statement's "
              "thread %.3f s) (%.0f rows/s), peak RSS %ld KiB; source %.0f MB, result %.0f MB, cp of "
              "the source %.3f s, cp+sync %.3f s; append/cp = %.1f, append/(cp+sync) = %.1f\n",
              Name(), rows, into > 0 ? (" into " + std::to_string(into)).c_str() : "", median.rows,
              median.seconds, appends.front().seconds, appends.back().seconds, median.cpu,
              median.statement, median.rows / median.seconds, long(usage.ru_maxrss),
              std::filesystem::file_size(source) / 1e6, std::filesystem::file_size(dest) / 1e6,
              copy_s, durable_s, median.seconds / copy_s,
              median.seconds / durable_s);
  std::fflush(stdout);
  if (check && !Check(fs, dir, dest, rows + into)) {
    std::fflush(stdout);
    return 1;
  }
  std::fflush(stdout);  // the child ends with _exit, which does not flush
  if (keep) {
    std::printf("  kept %s\n", dir.c_str());
    std::fflush(stdout);
    return 0;
  }
  std::string cleanup = "rm -rf '" + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--indexed") kind = Kind::kIndexed;
    else if (arg == "--catalogue") kind = Kind::kCatalogue;
    else if (arg == "--shuffled") kind = Kind::kShuffled;
    else if (arg == "--real") kind = Kind::kReal;
    else if (arg == "--check") check = true;
    else if (arg == "--keep") keep = true;
    else if (arg == "--into" && i + 1 < argc) into = std::atol(argv[++i]);
    else counts.push_back(std::atol(arg.c_str()));
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
