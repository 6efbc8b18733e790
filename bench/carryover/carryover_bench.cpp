// carryover_bench [songs...]: for each number of songs (default 10000,
// 100000, 1000000) builds an installed datos.mdb with that many canciones
// rows and the package's datos.new on a temporary drive, then times the
// whole carry-over (traspasaBaseDatos through our Jet engine) and, in the
// same run, `cp` of the installed database, alone and followed by a sync of
// the copy (both are printed; the carry-over leaves syncing to the update,
// which makes the whole staging folder durable before it promotes it). The
// carry-over runs in a child process of its own, so that its peak resident
// memory is its own (the time includes starting that child). Prints the
// time, the ratio to the copy and the peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/database/carry_over_rules.h"
#include "engine/database/dao_adapter.h"
#include "platform/profile_store.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct ChildRun {
  bool ok = false;
  double wall = 0;     // seconds
  double cpu = 0;      // user + system seconds
  double peak_mb = 0;  // peak resident memory
};

double Cpu(const timeval& user, const timeval& sys) {
  return user.tv_sec + sys.tv_sec + (user.tv_usec + sys.tv_usec) / 1e6;
}

// Runs fn in a child process and measures it. The machine these runs share
// is often loaded, so wall time alone says little; CPU time is reported
// beside it.
template <typename Fn>
ChildRun InChild(Fn fn) {
  std::fflush(stdout);
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) _exit(fn());
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  ChildRun r;
  r.wall = Seconds(start);
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.cpu = Cpu(usage.ru_utime, usage.ru_stime);
  r.peak_mb = usage.ru_maxrss / 1024.0;
  return r;
}

void RunOne(long songs) {
  act::testing::TempDrive d;
  d.MakeFolders("\\zentaroDeck");
  d.MakeFolders("\\zentaroDeck_NEW");
  const std::string installed = d.Path("\\zentaroDeck\\datos.mdb");
  const std::string host = d.root() + "/zentaroDeck/datos.mdb";
  // The databases are built in a process of their own, so that the
  // carry-over's peak memory below is its own.
  ChildRun built = InChild([&] {
    act::test::WriteCarryOverDatabase(d.fs(), installed, act::test::InstalledContent(songs));
    act::test::WriteCarryOverDatabase(d.fs(), d.Path("\\zentaroDeck_NEW\\datos.new"),
                                      act::test::PackageContent());
    act::test::PutText(d.fs(), d.Path("\\zentaroDeck_NEW\\actualizador.ini"), "[VERSIONES]\n");
    return 0;
  });
  if (!built.ok) {
    std::printf("%8ld songs  building the databases FAILED\n", songs);
    return;
  }

  const std::string copy_to = d.root() + "/copia.mdb";
  ChildRun copy = InChild([&] {
    execlp("cp", "cp", host.c_str(), copy_to.c_str(), (char*)nullptr);
    return 127;
  });

  const std::string durable_to = d.root() + "/copia_sync.mdb";
  const std::string durable_command = "cp '" + host + "' '" + durable_to + "' && sync -f '" +
                                      durable_to + "'";
  ChildRun durable = InChild([&] {
    execlp("sh", "sh", "-c", durable_command.c_str(), (char*)nullptr);
    return 127;
  });

  ChildRun carry_over = InChild([&] {
    auto profiles = act::NewPlatformProfileStore(d.fs());
    act::CarryOverRules carry(*profiles, [&] { return act::NewDaoCarryOverEngine(d.fs()); });
    try {
      carry.traspasaBaseDatos(act::RunPaths(d.drive()), "3.5", act::NoObserver());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    return 0;
  });
  struct stat st {};
  ::stat(host.c_str(), &st);
  std::printf("%8ld songs  %6.1f MB  carry-over wall %7.2f s cpu %7.2f s  cp wall %6.3f s cpu "
              "%6.3f s  cp+sync wall %6.3f s  ratio wall %6.1fx cpu %6.1fx vs cp+sync %6.1fx  "
              "peak %5.1f MB (cp %4.1f MB)%s\n",
              songs, st.st_size / 1e6, carry_over.wall, carry_over.cpu, copy.wall, copy.cpu,
              durable.wall, carry_over.wall / copy.wall,
              carry_over.cpu / std::max(copy.cpu, 1e-3), carry_over.wall / durable.wall,
              carry_over.peak_mb, copy.peak_mb,
              carry_over.ok && copy.ok && durable.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
  for (long songs : sizes) RunOne(songs);
  return 0;
}
