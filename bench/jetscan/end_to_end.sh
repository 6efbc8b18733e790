#!/usr/bin/env bash
# A whole table through jetsql against mdb-export, end to end: each program
# starts, reads the file and writes its CSV to /dev/null, as a user would
# run them. The two outputs are first compared byte for byte (they must be
# the same); then the two commands run in turn ROUNDS times and the medians
# and their ratio are printed.
#
# Usage: bench/jetscan/end_to_end.sh JETSQL FILE TABLE [ROUNDS]
#   e.g. the million-song table jetappend_bench --real --keep 1000000 leaves
#   (FILE datos.mdb, TABLE Table3).
set -euo pipefail
jetsql=${1:?jetsql binary} file=${2:?database} table=${3:?table} rounds=${4:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$jetsql" "$file" "SELECT * FROM $table" >"$work/jetsql.csv"
mdb-export "$file" "$table" >"$work/mdb-export.csv"
if ! cmp -s "$work/jetsql.csv" "$work/mdb-export.csv"; then
  echo "the outputs differ" >&2
  exit 1
fi
echo "same output: $(wc -l <"$work/jetsql.csv") lines, $(wc -c <"$work/jetsql.csv") bytes"

seconds() {  # command...: wall seconds of one run, output to /dev/null
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/a"
: >"$work/b"
for ((i = 0; i < rounds; i++)); do
  if ((i % 2 == 0)); then
    seconds "$jetsql" "$file" "SELECT * FROM $table" >>"$work/a"
    seconds mdb-export "$file" "$table" >>"$work/b"
  else
    seconds mdb-export "$file" "$table" >>"$work/b"
    seconds "$jetsql" "$file" "SELECT * FROM $table" >>"$work/a"
  fi
done
a=$(median <"$work/a")
b=$(median <"$work/b")
echo "jetsql $a s, mdb-export $b s (medians of $rounds): mdb-export / jetsql = $(echo "scale=2; $b / $a" | bc)"
