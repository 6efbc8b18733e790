// How fast the product-settings stage carries the listed keys of
// configuracion.ini into its staged copy: the stage over our posix profile
// functions, in this process, against the very same stage built for Windows
// (settings_stage.exe) over kernel32's GetPrivateProfileStringA and
// WritePrivateProfileStringA under Wine, on identical copies of the same
// generated files, in the same run. Each cell alternates which side goes
// first and keeps the best of its rounds; the staged files both sides leave
// must be identical to the byte.
//
//   settings_bench [--sizes KB,KB] [--keys N,N,...] [--rounds R] [--dir FOLDER]
//                  [--settle-ms MS] [--wine-exe settings_stage.exe] [--no-wine]
//
// The files are left alone for --settle-ms (default 300) before each stage,
// as the installed product's files are old when an update runs: the posix
// store trusts a file's stamp only once its last change lies 100 ms back,
// and until then compares the file's whole contents on every read. With
// --settle-ms 0 the stage runs inside that window, which costs up to that
// long of reading whatever the number of keys.
//
// Prints a table with both times and their ratio (posix / kernel32), then
// how each side grows with the number of keys and with the file size. Times
// are wall-clock seconds and processor seconds (user + system) of the
// process running the stage; on a busy machine the processor time is the
// steadier figure, though under Wine it leaves out wineserver's share.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/settings/settings_files.h"
#include "engine/settings_carry_over.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace {

namespace stdfs = std::filesystem;

std::vector<size_t> Numbers(const std::string& list) {
  std::vector<size_t> out;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) out.push_back(std::stoul(item));
  return out;
}

void PutFile(const std::string& host, const std::vector<uint8_t>& bytes) {
  stdfs::create_directories(stdfs::path(host).parent_path());
  std::ofstream(host, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<uint8_t> HostBytes(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void PutStage(const std::string& root, const act::bench::SettingsFiles& files) {
  PutFile(root + "/zentaroDeck/configuracion.ini", files.installed);
  PutFile(root + "/zentaroDeck_NEW/configuracion.ini", files.staged);
  PutFile(root + "/zentaroDeck_NEW/actualizador.ini", files.manifest);
}

std::string StagedFile(const std::string& root) { return root + "/zentaroDeck_NEW/configuracion.ini"; }

// The host folder as Wine sees it through its drive z:, which stands in for
// the target drive: the stage only puts its relative paths after it.
std::string WineDrive(const std::string& host) {
  std::string windows = "z:" + host;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

struct Times {
  double wall = 1e30, cpu = 1e30;
  void Keep(const Times& t) { wall = std::min(wall, t.wall), cpu = std::min(cpu, t.cpu); }
};

double ProcessorSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const struct timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Times PosixTimes(const std::string& prefix) {
  auto fs = act::NewPlatformFileSystem(prefix);
  auto profiles = act::NewPlatformProfileStore(*fs);
  double cpu = ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  act::CarrySettings(act::kProductSettings, act::RunPaths("b:"), *profiles);
  Times t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = ProcessorSeconds() - cpu;
  return t;
}

// What settings_stage.exe reports: the stage's own times, without Wine's
// start-up. Exits the benchmark when it fails.
Times WineTimes(const std::string& exe, const std::string& root) {
  std::string command = "WINEDEBUG=-all wine '" + exe + "' '" + WineDrive(root) + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[256];
  while (pipe && fgets(buffer, sizeof(buffer), pipe)) output += buffer;
  Times t;
  if (!pipe || pclose(pipe) != 0 || std::sscanf(output.c_str(), "%lf %lf", &t.wall, &t.cpu) != 2) {
    std::fprintf(stderr, "settings_stage.exe failed: %s\n", output.c_str());
    std::exit(1);
  }
  return t;
}

struct Cell {
  size_t kilobytes, keys, distinct;
  Times posix, wine;
  bool same = true;
};

// The cells of one file size with the fewest and the most keys.
std::pair<const Cell*, const Cell*> FewestAndMostKeys(const std::vector<Cell>& cells,
                                                      size_t kilobytes) {
  const Cell *low = nullptr, *high = nullptr;
  for (const Cell& c : cells) {
    if (c.kilobytes != kilobytes) continue;
    if (!low || c.keys < low->keys) low = &c;
    if (!high || c.keys > high->keys) high = &c;
  }
  return {low, high};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes = {100, 1024}, key_counts = {500, 1000, 2000, 5000};
  int rounds = 1;
  int settle_ms = 300;
  bool wine = true;
  std::string dir = stdfs::temp_directory_path().string(), exe = ACT_SETTINGS_STAGE_EXE;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool has_value = i + 1 < argc;
    if (arg == "--no-wine") wine = false;
    else if (arg == "--sizes" && has_value) sizes = Numbers(argv[++i]);
    else if (arg == "--keys" && has_value) key_counts = Numbers(argv[++i]);
    else if (arg == "--rounds" && has_value) rounds = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--dir" && has_value) dir = argv[++i];
    else if (arg == "--settle-ms" && has_value) settle_ms = std::max(0, std::atoi(argv[++i]));
    else if (arg == "--wine-exe" && has_value) exe = argv[++i];
    else return std::fprintf(stderr, "unknown argument %s\n", argv[i]), 1;
  }
  if (wine && std::system("command -v wine >/dev/null 2>&1") != 0) {
    std::fprintf(stderr, "wine is not installed: use --no-wine\n");
    return 1;
  }

  // Our side reaches its files through drive b: of a prefix of its own;
  // Wine's side gets an identical copy in a folder beside it.
  std::string base = dir + "/act-settings-bench-" + std::to_string(getpid());
  std::string posix_root = base + "/drive_b", wine_root = base + "/wine";
  stdfs::create_directories(base + "/dosdevices");
  stdfs::create_directories(posix_root);
  stdfs::create_directory_symlink("../drive_b", base + "/dosdevices/b:");

  std::printf("%7s %5s %8s | %9s %9s %6s | %9s %9s %6s | %10s %10s | %4s\n", "file KB", "keys",
              "distinct", "posix s", "k32 s", "ratio", "posix cpu", "k32 cpu", "ratio",
              "posix us/k", "k32 us/k", "same");
  std::vector<Cell> cells;
  bool all_same = true;
  for (size_t kilobytes : sizes) {
    for (size_t keys : key_counts) {
      act::bench::SettingsFiles files = act::bench::MakeSettingsFiles(kilobytes * 1024, keys);
      Cell cell{kilobytes, keys, files.distinct, {}, {}};
      for (int round = 0; round < rounds; ++round) {
        PutStage(posix_root, files);
        if (wine) PutStage(wine_root, files);
        std::this_thread::sleep_for(std::chrono::milliseconds(settle_ms));
        auto run_posix = [&] { cell.posix.Keep(PosixTimes(base)); };
        auto run_wine = [&] { cell.wine.Keep(WineTimes(exe, wine_root)); };
        if (!wine) run_posix();
        else if (round % 2) run_wine(), run_posix();
        else run_posix(), run_wine();
        if (wine) cell.same = cell.same && HostBytes(StagedFile(posix_root)) == HostBytes(StagedFile(wine_root));
      }
      if (!wine) cell.wine = Times{0, 0};
      all_same = all_same && cell.same;
      std::printf("%7zu %5zu %8zu | %9.3f %9.3f %6.2f | %9.3f %9.3f %6.2f | %10.1f %10.1f | %4s\n",
                  kilobytes, keys, cell.distinct, cell.posix.wall, cell.wine.wall,
                  wine ? cell.posix.wall / cell.wine.wall : 0.0, cell.posix.cpu, cell.wine.cpu,
                  wine ? cell.posix.cpu / cell.wine.cpu : 0.0, cell.posix.cpu * 1e6 / keys,
                  cell.wine.cpu * 1e6 / keys, wine ? (cell.same ? "yes" : "NO") : "-");
      std::fflush(stdout);
      cells.push_back(cell);
    }
  }
  stdfs::remove_all(base);

  // Growth: time at the most keys over time at the fewest, next to the
  // ratio of the key counts (linear growth makes them equal); what each
  // key beyond the fewest cost, which leaves out what a stage pays once
  // (parsing and saving the files) and must not grow with the file's size;
  // and the biggest file against the smallest at the same number of keys.
  std::printf("\ngrowth with keys (processor time ratio vs key ratio; wall in brackets):\n");
  for (size_t kilobytes : sizes) {
    auto [low, high] = FewestAndMostKeys(cells, kilobytes);
    std::printf("  %zu KB, %zu -> %zu keys (x%.1f): posix x%.1f [x%.1f], kernel32 x%.1f [x%.1f]\n",
                kilobytes, low->keys, high->keys, double(high->keys) / low->keys,
                high->posix.cpu / low->posix.cpu, high->posix.wall / low->posix.wall,
                wine ? high->wine.cpu / low->wine.cpu : 0.0,
                wine ? high->wine.wall / low->wine.wall : 0.0);
  }
  std::printf("processor time per key beyond the fewest (us; wall in brackets):\n");
  for (size_t kilobytes : sizes) {
    auto [low, high] = FewestAndMostKeys(cells, kilobytes);
    if (high->keys == low->keys) continue;
    double added = double(high->keys - low->keys) / 1e6;
    std::printf("  %zu KB: posix %.1f [%.1f], kernel32 %.1f [%.1f]\n", kilobytes,
                (high->posix.cpu - low->posix.cpu) / added,
                (high->posix.wall - low->posix.wall) / added,
                (high->wine.cpu - low->wine.cpu) / added, (high->wine.wall - low->wine.wall) / added);
  }
  if (sizes.size() > 1) {
    size_t small = *std::min_element(sizes.begin(), sizes.end());
    size_t big = *std::max_element(sizes.begin(), sizes.end());
    std::printf("growth with file size (%zu KB -> %zu KB, x%.1f):\n", small, big,
                double(big) / small);
    for (const Cell& b : cells) {
      if (b.kilobytes != big) continue;
      for (const Cell& s : cells) {
        if (s.kilobytes != small || s.keys != b.keys) continue;
        std::printf("  %zu keys: posix x%.1f [x%.1f], kernel32 x%.1f [x%.1f]\n", b.keys,
                    b.posix.cpu / s.posix.cpu, b.posix.wall / s.posix.wall,
                    wine ? b.wine.cpu / s.wine.cpu : 0.0, wine ? b.wine.wall / s.wine.wall : 0.0);
      }
    }
  }
  if (!all_same) {
    std::printf("\nthe staged files differ between posix and kernel32\n");
    return 1;
  }
  return 0;
}
