#!/usr/bin/env bash
# The main job for a newcomer: install what is needed, build the native
# programs, and run a demo update on a sample drive that it makes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "${SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)"
exec bash scripts/demo.sh build/native
