#!/bin/sh
# A jetsql run on a database of some megabytes, killed with SIGKILL right
# before one of its system calls (strace's tampering): every write, at
# spread-out points, and every sync, rename and removal. After each kill
# the file is byte for byte the one before the run or the one an
# undisturbed run leaves, --check finds no damage, and the next run that
# writes clears the working copy the kill left, and the .ldb.
# Usage: kill_test.sh JETSQL
set -u
jetsql=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! command -v strace > /dev/null || ! strace -qq -o /dev/null /bin/true 2> /dev/null; then
  echo "strace cannot trace here"
  exit 77
fi

db=$work/datos.mdb
"$jetsql" --create "$db" \
  "CREATE TABLE canciones (id LONG PRIMARY KEY, titulo TEXT(100), artista TEXT(80), plays LONG)" \
  "CREATE INDEX por_artista ON canciones (artista)" \
  "CREATE TABLE copia (id LONG PRIMARY KEY, titulo TEXT(100), artista TEXT(80), plays LONG)" \
  || { echo "FAIL: --create"; exit 1; }
awk 'BEGIN { for (i = 1; i <= 30000; i++)
  printf "INSERT INTO canciones VALUES (%d, '\''Cancion %d'\'', '\''Interprete %d'\'', %d);\n",
         i, (i * 7919) % 100003, i % 97, i % 13 }' | "$jetsql" "$db" \
  || { echo "FAIL: filling the table"; exit 1; }
cp "$db" "$work/before.mdb"

# The run killed: a bulk append, an update of every row, single rows.
cat > "$work/script.sql" <<'SQL'
INSERT INTO copia SELECT * FROM canciones WHERE plays < 7;
UPDATE canciones SET plays = 500, titulo = 'Otra cancion, otro titulo' WHERE artista LIKE 'Interprete 1*';
INSERT INTO copia VALUES (100001, 'Nueva', 'Nadie', 0);
SQL

run() { "$@" "$db" < "$work/script.sql" > /dev/null 2>&1; }

run "$jetsql" || { echo "FAIL: the undisturbed run"; exit 1; }
cp "$db" "$work/after.mdb"
cmp -s "$work/before.mdb" "$work/after.mdb" && { echo "FAIL: the run changed nothing"; exit 1; }

cp "$work/before.mdb" "$db"
traced="pwrite64,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat"
strace -f -qq -o "$work/calls" -e trace="$traced" "$jetsql" "$db" < "$work/script.sql" > /dev/null 2>&1 \
  || fail "the traced run"
cmp -s "$db" "$work/after.mdb" || fail "the traced run left another file"

# Each call as "name when" (the nth call of that name), the writes thinned
# to about forty spread over the run.
calls=$(sed -n 's/^[0-9]* *\([a-z0-9]*\)(.*/\1/p' "$work/calls" | awk -v traced="$traced" '
  BEGIN { split(traced, t, ","); for (i in t) want[t[i]] = 1 }
  want[$1] { n[$1]++; line[++count] = $1 " " n[$1] }
  END {
    step = int(n["pwrite64"] / 40); if (step < 1) step = 1
    for (i = 1; i <= count; i++) {
      split(line[i], f, " ")
      if (f[1] != "pwrite64" || f[2] % step == 1 || f[2] == n["pwrite64"]) print line[i]
    }
  }')
[ -n "$calls" ] || fail "no calls traced"

kills=0 before=0 after=0
echo "$calls" > "$work/aims"
echo "aims: $(cut -d" " -f1 "$work/aims" | sort | uniq -c | tr -s " \n" " "); file of $(wc -c < "$work/before.mdb") bytes"
while read -r name when; do
  cp "$work/before.mdb" "$db"
  rm -f "$db.write.tmp" "$work/datos.ldb"
  strace -f -qq -o /dev/null -e trace="$name" -e inject="$name:signal=KILL:when=$when" \
    "$jetsql" "$db" < "$work/script.sql" > /dev/null 2>&1
  kills=$((kills + 1))
  if cmp -s "$db" "$work/before.mdb"; then
    before=$((before + 1))
  elif cmp -s "$db" "$work/after.mdb"; then
    after=$((after + 1))
  else
    fail "killed before $name #$when: the file is neither the one before nor the one after"
    continue
  fi
  check=$("$jetsql" "$db" --check 2>&1) || fail "killed before $name #$when: --check: $check"
  case $check in *"no damage") ;; *) fail "killed before $name #$when: --check: $check" ;; esac
  # The next run that writes replaces what the kill left.
  "$jetsql" "$db" "UPDATE copia SET plays = 1 WHERE id = 100001" > /dev/null 2>&1 \
    || fail "killed before $name #$when: the next run failed"
  [ -e "$db.write.tmp" ] && fail "killed before $name #$when: the working copy stayed"
  [ -e "$work/datos.ldb" ] && fail "killed before $name #$when: the .ldb stayed"
done < "$work/aims"

echo "$kills kills: $before left the file as it was, $after with every statement"
[ "$before" -gt 0 ] || fail "no kill left the file as it was"
[ "$after" -gt 0 ] || fail "no kill left every statement"
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "PASS"
