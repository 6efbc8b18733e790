#!/usr/bin/env bash
# A DELETE of a tenth of a million-song table through jetsql, against
# mdb-export reading the same table, in the same run: each program starts,
# does its work and ends, as a user would run them. The rows to go are
# scattered over the whole table (the songs played fewer than 100 times,
# plays spread over 0-996 in no order), so every page and every index
# leaf is touched.
#
# Each round deletes from a fresh copy of FILE (the copy is not timed) and
# then runs mdb-export on FILE; the first round's result is checked: jetsql
# --check finds no damage, and mdb-export reads back exactly the rows the
# condition leaves, counted here from mdb-export's own reading of FILE.
#
# Usage: bench/jetdelete/delete_bench.sh JETSQL FILE [ROUNDS]
#   FILE: the songs jetappend_bench --real --keep 1000000 leaves (datos.mdb,
#   table Table3).
set -euo pipefail
jetsql=${1:?jetsql binary} file=${2:?database} rounds=${3:-5}
table=Table3
statement="DELETE FROM $table WHERE reproducciones < 100"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The oracle: mdb-export's rows of the untouched file, the column found by
# its name in the header.
mdb-export "$file" "$table" | python3 -c '
import csv, sys
rows = csv.reader(sys.stdin)
k = next(rows).index("reproducciones")
total = kept = 0
for r in rows:
    total += 1
    kept += int(r[k]) >= 100
print(total, kept)' >"$work/counts"
read -r total kept <"$work/counts"
echo "$table: $total rows, $((total - kept)) to delete, $kept to keep"

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
  cp "$file" "$work/copy.mdb"
  sync
  seconds "$jetsql" "$work/copy.mdb" "$statement" >>"$work/a"
  seconds mdb-export "$file" "$table" >>"$work/b"
  if ((i == 0)); then
    "$jetsql" "$work/copy.mdb" --check | tail -1
    left=$(mdb-export "$work/copy.mdb" "$table" | tail -n +2 | python3 -c '
import csv, sys
print(sum(1 for _ in csv.reader(sys.stdin)))')
    if [ "$left" != "$kept" ]; then
      echo "mdb-export reads $left rows after the DELETE, expected $kept" >&2
      exit 1
    fi
    echo "after the DELETE mdb-export reads the $left rows expected"
  fi
done
a=$(median <"$work/a")
b=$(median <"$work/b")
echo "jetsql DELETE $a s, mdb-export $b s (medians of $rounds): jetsql / mdb-export = $(echo "scale=2; $a / $b" | bc)"
