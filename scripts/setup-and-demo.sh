#!/usr/bin/env bash
# The main job for a newcomer: install what is needed, build the native
# programs, and run a demo update on a sample drive that it makes. The
# installation and the build write to logs under build/, shown only when a
# step fails, so that the demo's own output stays on one screen. It installs
# only what this job needs (no Wine, no test tools), and nothing at all when
# that is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build

step() {  # title log command...
  local title=$1 log=$2
  shift 2
  echo "== $title (log: ${log#$root/})"
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "== $title failed; the whole log is $log" >&2
    exit 1
  fi
}

[ "${SKIP_INSTALL:-0}" = 1 ] || step "Installing the packages" "$root/build/install.log" bash scripts/install-deps.sh demo
step "Configuring the native build" "$root/build/configure-native.log" \
  cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACT_BUILD_TESTS=OFF
step "Building actualizador-cli and jetsql" "$root/build/build-native.log" \
  cmake --build build/native -j"$(nproc)" --target actualizador-cli jetsql
echo
exec bash scripts/demo.sh build/native
