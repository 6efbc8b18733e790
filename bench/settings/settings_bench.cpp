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
//                  [--wine-exe settings_stage.exe] [--no-wine]
//
// Prints a table with both times and their ratio (posix / kernel32), then
// how each side grows with the number of keys and with the file size.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
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

double PosixSeconds(const std::string& prefix) {
  auto fs = act::NewPlatformFileSystem(prefix);
  auto profiles = act::NewPlatformProfileStore(*fs);
  auto start = std::chrono::steady_clock::now();
  act::CarrySettings(act::kProductSettings, "b:", *profiles);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What settings_stage.exe reports: the stage's own time, without Wine's
// start-up. Negative when it failed.
double WineSeconds(const std::string& exe, const std::string& root) {
  std::string command = "WINEDEBUG=-all wine '" + exe + "' '" + WineDrive(root) + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof(buffer), pipe)) output += buffer;
  int status = pclose(pipe);
  if (status != 0) {
    std::fprintf(stderr, "settings_stage.exe failed: %s\n", output.c_str());
    return -1;
  }
  return std::strtod(output.c_str(), nullptr);
}

struct Cell {
  size_t kilobytes, keys, distinct;
  double posix, wine;
  bool same;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes = {100, 1024}, key_counts = {500, 1000, 2000, 5000};
  int rounds = 1;
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

  std::printf("%8s %6s %8s %12s %12s %8s %10s %10s %6s\n", "file KB", "keys", "distinct",
              "posix s", "kernel32 s", "ratio", "posix us/k", "k32 us/k", "same");
  std::vector<Cell> cells;
  bool all_same = true;
  for (size_t kilobytes : sizes) {
    for (size_t keys : key_counts) {
      act::bench::SettingsFiles files = act::bench::MakeSettingsFiles(kilobytes * 1024, keys);
      Cell cell{kilobytes, keys, files.distinct, 1e30, wine ? 1e30 : 0, true};
      for (int round = 0; round < rounds; ++round) {
        PutStage(posix_root, files);
        if (wine) PutStage(wine_root, files);
        auto run_posix = [&] { cell.posix = std::min(cell.posix, PosixSeconds(base)); };
        auto run_wine = [&] {
          double seconds = WineSeconds(exe, wine_root);
          if (seconds < 0) std::exit(1);
          cell.wine = std::min(cell.wine, seconds);
        };
        if (!wine) run_posix();
        else if (round % 2) run_wine(), run_posix();
        else run_posix(), run_wine();
        if (wine) cell.same = cell.same && HostBytes(StagedFile(posix_root)) == HostBytes(StagedFile(wine_root));
      }
      all_same = all_same && cell.same;
      std::printf("%8zu %6zu %8zu %12.4f %12.4f %8.2f %10.1f %10.1f %6s\n", kilobytes, keys,
                  cell.distinct, cell.posix, cell.wine, wine ? cell.posix / cell.wine : 0.0,
                  cell.posix * 1e6 / keys, cell.wine * 1e6 / keys,
                  wine ? (cell.same ? "yes" : "NO") : "-");
      std::fflush(stdout);
      cells.push_back(cell);
    }
  }
  stdfs::remove_all(base);

  // Growth: time at the most keys over time at the fewest, next to the
  // ratio of the key counts (linear growth makes them equal); and the
  // biggest file against the smallest at the same number of keys.
  std::printf("\ngrowth with keys (time ratio vs key ratio):\n");
  for (size_t kilobytes : sizes) {
    const Cell *low = nullptr, *high = nullptr;
    for (const Cell& c : cells) {
      if (c.kilobytes != kilobytes) continue;
      if (!low || c.keys < low->keys) low = &c;
      if (!high || c.keys > high->keys) high = &c;
    }
    std::printf("  %zu KB, %zu -> %zu keys (x%.1f): posix x%.1f, kernel32 x%.1f\n", kilobytes,
                low->keys, high->keys, double(high->keys) / low->keys, high->posix / low->posix,
                wine ? high->wine / low->wine : 0.0);
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
        std::printf("  %zu keys: posix x%.1f, kernel32 x%.1f\n", b.keys, b.posix / s.posix,
                    wine ? b.wine / s.wine : 0.0);
      }
    }
  }
  if (!all_same) {
    std::printf("\nthe staged files differ between posix and kernel32\n");
    return 1;
  }
  return 0;
}
