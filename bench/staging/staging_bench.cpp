// How fast the update run stages its package: FileSystem::CopyFolder of the
// posix backend against `cp -r` of the same tree on the same disk, in the same
// run, alternating which goes first. The package is generated: a few thousand
// files of a few hundred megabytes by default, like a release with its skins,
// photos and database.
//
//   staging_bench [--files N] [--megabytes M] [--rounds R] [--dir FOLDER]
//
// Prints each round and the ratio of the medians (CopyFolder / cp -r); the
// target is a ratio not above 1.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/sample_drive.h"

namespace {

double Seconds(const std::function<void()>& work) {
  sync();  // earlier writes must not be flushed on this clock
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 3000, megabytes = 300, rounds = 3;
  std::string dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i];
    if (arg == "--files") files = std::atoi(argv[i + 1]);
    else if (arg == "--megabytes") megabytes = std::atoi(argv[i + 1]);
    else if (arg == "--rounds") rounds = std::atoi(argv[i + 1]);
    else if (arg == "--dir") dir = argv[i + 1];
    else return std::fprintf(stderr, "unknown argument %s\n", argv[i]), 1;
  }

  namespace stdfs = std::filesystem;
  std::string prefix = dir + "/act-staging-bench-" + std::to_string(getpid());
  std::string drive_root = prefix + "/drive_b";
  stdfs::create_directories(prefix + "/dosdevices");
  stdfs::create_directories(drive_root);
  stdfs::create_directory_symlink("../drive_b", prefix + "/dosdevices/b:");

  auto fs = act::NewPlatformFileSystem(prefix);
  const std::string package = "b:\\disco\\zentaroDeck_NEW";
  std::printf("generating %d files, %d MB in %s\n", files, megabytes, drive_root.c_str());
  act::test::PutBulkFolder(*fs, package, files,
                           static_cast<uint64_t>(megabytes) * 1024 * 1024);

  const std::string cp_command = "cp -r '" + drive_root + "/disco/zentaroDeck_NEW' '" +
                                 drive_root + "/cp_copy'";
  std::vector<double> ours, cp;
  int status = 0;
  for (int round = 0; round < rounds; ++round) {
    auto run_ours = [&] {
      ours.push_back(Seconds([&] { fs->CopyFolder(package, "b:\\zentaroDeck_NEW", true); }));
      fs->DeleteFolder("b:\\zentaroDeck_NEW", true);
    };
    auto run_cp = [&] {
      cp.push_back(Seconds([&] { status |= std::system(cp_command.c_str()); }));
      stdfs::remove_all(drive_root + "/cp_copy");
    };
    if (round % 2) run_cp(), run_ours();
    else run_ours(), run_cp();
    std::printf("round %d: CopyFolder %.3f s, cp -r %.3f s\n", round + 1, ours.back(), cp.back());
  }
  stdfs::remove_all(prefix);
  if (status != 0) return std::fprintf(stderr, "cp -r failed\n"), 1;

  double ratio = Median(ours) / Median(cp);
  std::printf("staging %d files, %d MB: CopyFolder %.3f s, cp -r %.3f s (medians of %d)\n",
              files, megabytes, Median(ours), Median(cp), rounds);
  std::printf("ratio CopyFolder / cp -r = %.2f (target: not above 1)\n", ratio);
  return 0;
}
