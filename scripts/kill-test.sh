#!/usr/bin/env bash
# The large SIGKILL run: actualizador-cli killed at random moments of an
# update whose package carries several hundred megabytes of media and whose
# installed database holds 100,000 songs, then checked and rerun; then the
# same update killed right before each system call of its swap (needs
# strace). Figures and what they prove: tests/reliability/README.md.
#   scripts/kill-test.sh [build-folder] [trials] [package-MB] [songs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
export ACT_KILL_TRIALS=${2:-60}
export ACT_KILL_MB=${3:-400}
export ACT_KILL_SONGS=${4:-100000}
cmake --build "$build" -j2 --target reliability_kill_test >/dev/null
"$build/tests/reliability/reliability_kill_test"
