// jetjoin_bench [songs]   (default 1,000,000)
//
// A catalogue of songs (title, artist, album, genre key, length; values in
// no order, accented text) and its genres, in a new Access 97 file; then,
// in the same run, three times each in turn:
//   - jetsql's SELECT c.titulo, c.artista, g.nombre FROM canciones AS c
//     INNER JOIN generos AS g ON c.genero = g.id, rendered as jetsql
//     prints it (CSV), in-process: the genres are looked up in their
//     primary key;
//   - the same against a copy of the genres without an index (the join
//     holds them hashed);
//   - mdb-export of the songs (the same rows, read by a reader that is not
//     ours), its output read whole through a pipe.
// Prints the medians, mdb-export / join (above 1: the join is faster), the
// peak resident memory, and fails when a join does not give one row per
// song.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/exec/select_cursor.h"
#include "db/exec/statement_executor.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/write/table_writer.h"
#include "db/sql/parser.h"
#include "tests/dbwrite/write_fixture.h"
#include "tools/jetsql/formats.h"

using namespace act::db;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kGenres[] = {
    "Música clásica", "Canción protesta", "Bolero",      "Ranchera",    "Cumbia",
    "Salsa",          "Tango",            "Flamenco",    "Jazz",        "Rock en español",
    "Pop",            "Balada",           "Bachata",     "Merengue",    "Vallenato",
    "Copla",          "Zarzuela",         "Fado",        "Bossa nova",  "Samba",
    "Trova",          "Son cubano",       "Mariachi",    "Norteño",     "Reguetón",
    "Sevillanas",     "Jota aragonesa",   "Muñeira",     "Chacarera",   "Huayno",
    "Cueca",          "Joropo",           "Danzón",      "Mambo",       "Chachachá",
    "Guaracha",       "Pasodoble",        "Rumba",       "Habanera",    "Villancico"};
constexpr int kGenreCount = 40;
const char* const kWords[] = {"Canción", "Corazón", "Mañana",  "Niña", "Pájaro", "Ángel",
                              "Sueño",   "Lágrimas", "Última", "Río",  "Jardín", "Güera"};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void Build(act::test::HostFileSystem& fs, const std::string& path, long songs) {
  jet::CreateDatabase(fs, path);
  auto db = testing::OpenForWrite(fs, path);
  for (const char* statement :
       {"CREATE TABLE generos (id LONG PRIMARY KEY, nombre TEXT(50))",
        "CREATE TABLE generos_sin_indice (id LONG, nombre TEXT(50))",
        "CREATE TABLE canciones (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(100), "
        "album TEXT(100), genero LONG, duracion LONG)"}) {
    exec::ExecuteStatement(fs, *db, statement);
  }
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  auto fill = [&](const char* table, long rows, auto row) {
    jet::TableWriter writer(*db, allocator, db->Table(table));
    for (long i = 0; i < rows; ++i) {
      writer.Append(row(i));
      if (db->pager().pending_writes() > 1024) {
        writer.Finish();
        db->pager().FlushWrites();
      }
    }
    writer.Finish();
    db->pager().FlushWrites();
  };
  // The genres' keys in no order, not 1 to n.
  auto genre = [](long i) {
    const long id = (i * 17 + 5) % kGenreCount;
    return std::vector<Value>{Value::Long(int32_t(1000 + id * 37)), Value::Text(kGenres[id])};
  };
  fill("generos", kGenreCount, genre);
  fill("generos_sin_indice", kGenreCount, genre);
  fill("canciones", songs, [](long i) {
    // 1000003 and 999983 are prime: p and q run over their residues in no order.
    const long p = (i * 7919 + 13) % 1000003, q = (i * 104729 + 7) % 999983;
    return std::vector<Value>{
        Value::Null(),
        Value::Text(std::string(kWords[p % 12]) + " de otoño " + std::to_string(p)),
        Value::Text("Intérprete " + std::to_string(q % 12000)),
        Value::Text("Álbum " + std::to_string(p % 25000)),
        Value::Long(int32_t(1000 + ((p + q) % kGenreCount) * 37)),
        Value::Long(int32_t(120 + q % 300))};
  });
  db->pager().FlushWrites(true);
}

// Rows of the join, rendered as jetsql prints them.
long Join(act::test::HostFileSystem& fs, const std::string& path, const std::string& genres) {
  auto db = jet::Database::Open(fs, path, false);
  const std::string text = "SELECT c.titulo, c.artista, g.nombre FROM canciones AS c INNER JOIN " +
                           genres + " AS g ON c.genero = g.id";
  auto select = std::get<act::sql::SelectStatement>(act::sql::Parse(text));
  exec::SelectCursor cursor(*db, select, text, &fs);
  std::string block = act::jetsql::CsvHeader(cursor.names());
  long rows = 0;
  size_t bytes = 0;
  while (cursor.Next()) {
    act::jetsql::AppendCsvRow(block, cursor.values());
    ++rows;
    if (block.size() >= (1 << 16)) {
      bytes += block.size();
      block.clear();
    }
  }
  return bytes + block.size() > 0 ? rows : -1;
}

long MdbExportLines(const std::string& path) {
  const std::string command = "mdb-export '" + path + "' canciones";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[1 << 16];
  long lines = 0;
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) lines += std::count(buffer, buffer + n, '\n');
  return pclose(pipe) == 0 ? lines - 1 : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const long songs = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string dir = testing::ScratchDir("jetjoin_bench");
  const std::string path = dir + "/datos.mdb";
  act::test::HostFileSystem fs;
  auto start = Clock::now();
  Build(fs, path, songs);
  std::printf("built %ld songs, %d genres in %.1f s\n", songs, kGenreCount, Seconds(start));

  std::vector<double> indexed, hashed, exported;
  bool right = true;
  for (int round = 0; round < 3; ++round) {
    auto t = Clock::now();
    right = Join(fs, path, "generos") == songs && right;
    indexed.push_back(Seconds(t));
    t = Clock::now();
    right = Join(fs, path, "generos_sin_indice") == songs && right;
    hashed.push_back(Seconds(t));
    t = Clock::now();
    right = MdbExportLines(path) == songs && right;
    exported.push_back(Seconds(t));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double by_index = Median(indexed), by_hash = Median(hashed), baseline = Median(exported);
  std::printf("join by the genres' key: %.3f s; without an index (hashed): %.3f s; "
              "mdb-export of the songs: %.3f s\n",
              by_index, by_hash, baseline);
  std::printf("mdb-export / join: %.2f by index, %.2f hashed; peak RSS %ld KiB\n",
              baseline / by_index, baseline / by_hash, long(usage.ru_maxrss));
  if (!right) std::printf("FAIL: a join or mdb-export did not give one row per song\n");
  std::string cleanup = "rm -rf '" + dir + "'";
  return right && std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
