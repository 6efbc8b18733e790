#!/usr/bin/env bash
# Builds both programs (native Linux and 32-bit Windows) and runs every test:
# the native suite directly, the fuzz targets briefly, the Windows suite under
# Wine. With --native, only the native build and its suite (the quick loop).
#
# Packages that cannot be installed (a package mirror in mid-sync) stop only
# the parts that need them: the rest still runs, and the status is then 1
# with a last line saying what did not run.
set -euo pipefail
native_only=0
[ "${1:-}" = --native ] && native_only=1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
export WINEDEBUG=-all
not_run=""

if [ "${SKIP_INSTALL:-0}" != 1 ]; then
  if [ "$native_only" = 1 ]; then
    bash scripts/install-deps.sh native
  elif ! bash scripts/install-deps.sh all; then
    # What the native suite needs must be there; the rest is judged below,
    # part by part.
    bash scripts/install-deps.sh native
  fi
fi

# Native build and tests.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACT_BUILD_TESTS=ON >/dev/null
cmake --build build/native -j"$jobs"
if [ "$native_only" = 1 ]; then
  cd build/native && exec ctest --output-on-failure -j"$jobs"
fi

status=0
# Windows build; its tests run under Wine in a prefix of the build's own.
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j"$jobs"

have_wine=0
if command -v wine >/dev/null && command -v wineboot >/dev/null; then
  have_wine=1
  export WINEPREFIX="$root/build/wineprefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
fi

# The GUI tests need a display; give them a virtual one.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  Xvfb :97 -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
  export DISPLAY=:97
fi

(cd build/native && ctest --output-on-failure -j"$jobs") || status=1
# A short run of every fuzz target, with clang's libFuzzer.
if echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
   clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}" || status=1
else
  not_run="$not_run the fuzz targets (no clang with libFuzzer);"
fi
if [ "$have_wine" = 1 ]; then
  (cd build/win32 && ctest --output-on-failure) || status=1
else
  not_run="$not_run the Windows suite (no Wine);"
fi
if [ -n "$not_run" ]; then
  echo "test.sh: not run, for want of packages:${not_run%;}" >&2
  status=1
fi
exit $status
