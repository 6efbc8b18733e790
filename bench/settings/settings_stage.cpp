// settings_stage.exe <drive>: the Windows half of the settings benchmark. Runs
// the product-settings stage once over the files below <drive> (a drive
// letter, or any Windows path standing in for one) through kernel32's own
// profile functions, and prints the seconds the stage took, on the clock and
// in processor time of this process, so that Wine's start-up stays out of
// the figures.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "engine/settings_carry_over.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace {

// User and kernel time of this process. Under Wine this leaves out the work
// that wineserver does on the process's behalf.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: settings_stage <drive>\n");
    return 2;
  }
  auto fs = act::NewPlatformFileSystem();
  auto profiles = act::NewPlatformProfileStore(*fs);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  double cpu_start = ProcessorSeconds();
  try {
    QueryPerformanceCounter(&start);
    act::CarrySettings(act::kProductSettings, act::RunPaths(argv[1]), *profiles);
    QueryPerformanceCounter(&end);
  } catch (const act::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::printf("%.6f %.6f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart),
              ProcessorSeconds() - cpu_start);
  return 0;
}
