#!/usr/bin/env bash
# The large SIGKILL run: actualizador-cli killed at random moments of an
# update whose package carries several hundred megabytes of media and whose
# installed database is tens of megabytes, then checked and rerun.
#   scripts/kill-test.sh [build-folder] [trials] [package-MB] [database-MB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
export ACT_KILL_TRIALS=${2:-60}
export ACT_KILL_MB=${3:-400}
export ACT_KILL_DB_MB=${4:-40}
cmake --build "$build" -j2 --target reliability_kill_test >/dev/null
"$build/tests/reliability/reliability_kill_test"
