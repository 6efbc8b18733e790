// carryover_bench [songs...]: for each number of songs (default 10000,
// 100000, 1000000) builds an installed datos.mdb with that many canciones
// rows and the package's datos.new on a temporary drive, then times the
// whole carry-over (traspasaBaseDatos through our Jet engine) and, in the
// same run, `cp` of the installed database. The carry-over runs in a child
// process of its own, so that its peak resident memory is its own (the
// time includes starting that child). Prints the time, the ratio to the
// copy and the peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/database_carry_over_dao.h"
#include "engine/database_carry_over_jet.h"
#include "platform/profile_store.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs fn in a child process; its peak resident memory in MB, or -1 when
// it failed.
template <typename Fn>
double InChild(Fn fn) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) _exit(fn());
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss / 1024.0;
}

void RunOne(long songs) {
  act::testing::TempDrive d;
  d.MakeFolders("\\zentaroDeck");
  d.MakeFolders("\\zentaroDeck_NEW");
  const std::string installed = d.Path("\\zentaroDeck\\datos.mdb");
  const std::string host = d.root() + "/zentaroDeck/datos.mdb";
  // The databases are built in a process of their own, so that the
  // carry-over's peak memory below is its own.
  double built = InChild([&] {
    act::test::WriteCarryOverDatabase(d.fs(), installed, act::test::InstalledContent(songs));
    act::test::WriteCarryOverDatabase(d.fs(), d.Path("\\zentaroDeck_NEW\\datos.new"),
                                      act::test::PackageContent());
    act::test::PutText(d.fs(), d.Path("\\zentaroDeck_NEW\\actualizador.ini"), "[VERSIONES]\n");
    return 0;
  });
  if (built < 0) {
    std::printf("%8ld songs  building the databases FAILED\n", songs);
    return;
  }

  auto copy_start = Clock::now();
  if (std::system(("cp '" + host + "' '" + d.root() + "/copia.mdb' && sync").c_str()) != 0) return;
  double copy = Seconds(copy_start);

  double took = 0;
  auto start = Clock::now();
  double peak = InChild([&] {
    auto profiles = act::NewPlatformProfileStore(d.fs());
    act::DaoDatabaseCarryOver carry(*profiles, [&] { return act::NewJetCarryOverEngine(d.fs()); });
    try {
      carry.traspasaBaseDatos(d.drive(), "3.5");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    return 0;
  });
  took = Seconds(start);
  struct stat st {};
  ::stat(host.c_str(), &st);
  std::printf("%8ld songs  installed %7.1f MB  carry-over %8.3f s  cp+sync %7.3f s  ratio %6.1fx  "
              "peak %6.1f MB%s\n",
              songs, st.st_size / 1e6, took, copy, took / copy, peak, peak < 0 ? "  FAILED" : "");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
  for (long songs : sizes) RunOne(songs);
  return 0;
}
