// jetscript_bench [rows]: a script of `rows` single-row INSERT ... VALUES
// (100,000 by default) run by jetsql, against one INSERT ... SELECT that
// appends the same rows from another table of the same file. Each runs
// three times, on a fresh copy of its database; the medians and their ratio
// are printed. Target: the script within 3 times the INSERT ... SELECT.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tools/jetsql/command_line.h"
#include "tools/jetsql/runner.h"

namespace {

using act::jetsql::ParseCommandLine;

act::FileSystem& Files() {
  static std::unique_ptr<act::FileSystem> fs = act::NewPlatformFileSystem();
  return *fs;
}

std::string Jetsql(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  if (act::jetsql::Run(ParseCommandLine(args), Files(), in, out, err) != 0) {
    std::fprintf(stderr, "jetsql failed: %s\n", err.str().c_str());
    std::exit(1);
  }
  return out.str();
}

std::string Inserts(const char* table, int rows) {
  std::string script;
  for (int id = 1; id <= rows; ++id) {
    script += std::string("INSERT INTO ") + table + " VALUES (" + std::to_string(id) +
              ", 'Canción " + std::to_string(id * 7919 % 1000003) + " de la lista', 'Intérprete " +
              std::to_string(id % 977) + "', " + std::to_string(120 + id % 300) + ");\n";
  }
  return script;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  namespace fsys = std::filesystem;
  const fsys::path dir = fsys::temp_directory_path() / ("jetscript_bench." + std::to_string(rows));
  fsys::remove_all(dir);
  fsys::create_directories(dir);
  const std::string base = (dir / "base.mdb").string(), filled = (dir / "filled.mdb").string();
  const char* design = " (id LONG PRIMARY KEY, titulo TEXT(100), artista TEXT(80), duracion LONG)";
  Jetsql({"--create", base, std::string("CREATE TABLE canciones") + design,
          std::string("CREATE TABLE origen") + design, "CREATE INDEX por_artista ON canciones (artista)"});
  fsys::copy_file(base, filled);
  Jetsql({filled}, Inserts("origen", rows));
  const std::string script = Inserts("canciones", rows);

  std::vector<double> by_script, by_select;
  std::string script_rows, select_rows;
  for (int run = 0; run < 3; ++run) {
    auto timed = [&](const std::string& from, const std::string& to, auto&& body) {
      fsys::copy_file(from, to, fsys::copy_options::overwrite_existing);
      auto start = std::chrono::steady_clock::now();
      body();
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const std::string a = (dir / "a.mdb").string(), b = (dir / "b.mdb").string();
    by_script.push_back(timed(base, a, [&] { Jetsql({a}, script); }));
    by_select.push_back(
        timed(filled, b, [&] { Jetsql({b, "INSERT INTO canciones SELECT * FROM origen"}); }));
    script_rows = Jetsql({a, "SELECT * FROM canciones"});
    select_rows = Jetsql({b, "SELECT * FROM canciones"});
  }
  if (script_rows != select_rows) {
    std::fprintf(stderr, "the two tables differ\n");
    return 1;
  }
  const double s = Median(by_script), i = Median(by_select);
  std::printf("%d rows: script of INSERT ... VALUES %.3f s (%.0f statements/s), "
              "INSERT ... SELECT %.3f s: ratio %.2f (target 3)\n",
              rows, s, rows / s, i, s / i);
  fsys::remove_all(dir);
  return s / i <= 3 ? 0 : 1;
}
