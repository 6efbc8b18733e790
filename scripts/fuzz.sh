#!/usr/bin/env bash
# Builds every libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, starting from
# its corpus of real files. Prints one line per target: executions, corpus
# size and the result; a finding leaves its input in
# build/fuzz/findings/<target>/ and makes the script exit 1.
#   scripts/fuzz.sh [seconds-per-target] [target ...]
# ACT_FUZZ_NO_BUILD=1 runs the targets as already built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
build=${ACT_FUZZ_BUILD:-$root/build/fuzz}

if [ "${ACT_FUZZ_NO_BUILD:-0}" != 1 ]; then
  cmake -S "$root" -B "$build" -DACT_FUZZ=ON -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi

# target : folder of the target in the build : seed folders and files
targets=(
  "fuzz_ini_round_trip:tests/reliability/fuzz:$root/tests/reliability/fuzz/ini_corpus"
  "fuzz_ini_file:tests/platform/fuzz:$root/tests/reliability/fuzz/ini_corpus"
  "fuzz_pe_version:tests/platform/fuzz:$build/tests/engine/exes/*.exe $build/tests/platform/pe_samples/*.exe"
  "lnk_fuzzer:tests/ui:$root/tests/ui/data/lnk"
  "sql_parser_fuzzer:tests/sql:$root/tests/sql/fuzz_corpus"
  "jetsql_select_fuzzer:tests/jetsql:$root/tests/jetsql/fuzz_corpus"
  "jet_fuzzer:tests/db:$root/tests/data/jet/jet3 $root/tests/data/jet/jet4 $root/tests/db/fuzz_regressions"
)
if [ $# -gt 0 ]; then
  wanted=" $* "
  kept=()
  for t in "${targets[@]}"; do [[ $wanted == *" ${t%%:*} "* ]] && kept+=("$t"); done
  targets=("${kept[@]}")
fi

names=()
for t in "${targets[@]}"; do names+=("${t%%:*}"); done
[ "${ACT_FUZZ_NO_BUILD:-0}" = 1 ] ||
  cmake --build "$build" -j"$(nproc)" --target "${names[@]}" engine_test_exes act_pe_samples >/dev/null

status=0
for t in "${targets[@]}"; do
  IFS=: read -r name folder seeds <<<"$t"
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$work" "$findings"
  # Seeds: the files named, and every file of the folders named but notes.
  for s in $seeds; do
    if [ -f "$s" ]; then
      cp -n "$s" "$work/"
    elif [ -d "$s" ]; then
      find "$s" -maxdepth 1 -type f -size -1024k ! -name '*.md' ! -name '*.tsv' -exec cp -n {} "$work/" \;
    fi
  done
  log="$build/findings/$name.log"
  if "$build/$folder/$name" "$work" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$findings/" -timeout=20 -rss_limit_mb=2048 >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log)"
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  echo "$name: $runs executions in ${seconds}s, corpus $(ls "$work" | wc -l) files: $result"
done
exit $status
