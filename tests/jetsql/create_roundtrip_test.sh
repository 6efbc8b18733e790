#!/bin/sh
# Builds a database from nothing with jetsql (--create, DDL, INSERT VALUES of
# every literal kind, UPDATE, statements read from standard input) and reads
# it back through two readers that are not ours: mdb-export (mdbtools) and
# mdb-reader (npm, installed in tests/tools). Then checks that a refused
# INSERT is an error that quotes the statement and leaves the rows alone.
# Usage: create_roundtrip_test.sh JETSQL TESTS_TOOLS_DIR
set -u
jetsql=$1
tools=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/nuevo.mdb
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Compares file $1 with the expected text on standard input.
expect() {
  cat > "$work/expected"
  if ! cmp -s "$work/expected" "$1"; then
    fail "$2"
    diff "$work/expected" "$1"
  fi
}

if ! command -v mdb-export > /dev/null; then
  echo "mdb-export not installed (mdbtools)"
  exit 77
fi

"$jetsql" --create "$db" \
  "CREATE TABLE Canciones (Id COUNTER PRIMARY KEY, Titulo TEXT(50), Nota MEMO, Pista BYTE,
     Orden SHORT, Plays LONG, Precio CURRENCY, Peso SINGLE, Duracion DOUBLE, Alta DATETIME,
     Activa BIT, Datos BINARY(8), Clave GUID)" \
  "CREATE UNIQUE INDEX PorTitulo ON Canciones (Titulo)" \
  "CREATE INDEX PorAlta ON Canciones (Alta DESC, Plays)" \
  || fail "--create with DDL exited $?"

"$jetsql" "$db" > "$work/select.csv" 2> "$work/err" <<'SQL' || fail "statements from stdin exited $?: $(cat "$work/err")"
INSERT INTO Canciones (Titulo, Nota, Pista, Orden, Plays, Precio, Peso, Duracion, Alta, Activa)
  VALUES ('Canción del ñandú', 'Memo con € y ; dentro', 3, -12, 100000, 12.3456, 1.5, 215.25,
          #2024-05-01 10:30:00#, TRUE);
INSERT INTO Canciones (Titulo, Nota, Pista, Orden, Plays, Precio, Peso, Duracion, Alta, Activa)
  VALUES ('Otra', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, FALSE);
INSERT INTO Canciones (Titulo, Plays, Alta, Activa) VALUES ('Última', -5, #1999-12-31#, FALSE);
UPDATE Canciones SET Plays = 7, Precio = 0.5 WHERE Titulo = 'Otra';
SELECT * FROM Canciones ORDER BY Id
SQL

mdb-export "$db" Canciones > "$work/export.csv" || fail "mdb-export cannot read the new database"
expect "$work/export.csv" "mdb-export rows" <<'CSV'
Id,Titulo,Nota,Pista,Orden,Plays,Precio,Peso,Duracion,Alta,Activa,Datos,Clave
1,"Canción del ñandú","Memo con € y ; dentro",3,-12,100000,12.3456,1.5,215.25,"05/01/24 10:30:00",1,,
2,"Otra",,,,7,0.5000,,,,0,,
3,"Última",,,,-5,,,,"12/31/99 00:00:00",0,,
CSV
expect "$work/select.csv" "jetsql SELECT prints what mdb-export prints" < "$work/export.csv"

if [ -d "$tools/node_modules/mdb-reader" ] && command -v node > /dev/null; then
  # Dates as mdb-reader decodes them, in UTC so that the text does not
  # depend on the machine's zone.
  (cd "$tools" && TZ=UTC node --input-type=module -e '
    import { readFileSync } from "node:fs";
    import MDBReader from "mdb-reader";
    const reader = new MDBReader(readFileSync(process.argv[1]));
    console.log(reader.getTableNames().join(","));
    for (const row of reader.getTable("Canciones").getData())
      console.log(JSON.stringify(row, (k, v) => v === undefined ? "undefined" : v));
  ' "$db") > "$work/reader.txt" 2>&1 || fail "mdb-reader cannot read the new database: $(cat "$work/reader.txt")"
  expect "$work/reader.txt" "mdb-reader rows" <<'ROWS'
Canciones
{"Id":1,"Titulo":"Canción del ñandú","Nota":"Memo con € y ; dentro","Pista":3,"Orden":-12,"Plays":100000,"Precio":"12.3456","Peso":1.5,"Duracion":215.25,"Alta":"2024-05-01T10:30:00.000Z","Activa":true,"Datos":null,"Clave":null}
{"Id":2,"Titulo":"Otra","Nota":null,"Pista":null,"Orden":null,"Plays":7,"Precio":"0.5000","Peso":null,"Duracion":null,"Alta":null,"Activa":false,"Datos":null,"Clave":null}
{"Id":3,"Titulo":"Última","Nota":null,"Pista":null,"Orden":null,"Plays":-5,"Precio":null,"Peso":null,"Duracion":null,"Alta":"1999-12-31T00:00:00.000Z","Activa":false,"Datos":null,"Clave":null}
ROWS
else
  echo "mdb-reader not installed (cd tests/tools && npm install): that reader is not compared"
fi

"$jetsql" "$db" --check > "$work/check.txt" || fail "--check on the new database exited $?: $(cat "$work/check.txt")"

# A duplicate title: the unique index refuses the row, and jetsql says so.
statement="INSERT INTO Canciones (Titulo, Plays) VALUES ('Otra', 1)"
if "$jetsql" "$db" "$statement" > /dev/null 2> "$work/err"; then
  fail "a duplicate key was accepted"
fi
grep -qF "\"$statement\"" "$work/err" || fail "the refusal does not quote the statement: $(cat "$work/err")"
grep -qF "$db" "$work/err" || fail "the refusal does not name the file: $(cat "$work/err")"
grep -qF "error 3022" "$work/err" || fail "the refusal is not error 3022: $(cat "$work/err")"
mdb-export "$db" Canciones > "$work/after.csv"
expect "$work/after.csv" "rows after the refused INSERT" < "$work/export.csv"
"$jetsql" "$db" --check > /dev/null || fail "--check after the refused INSERT"

# The schema, fed back to --create, makes a database with the same schema.
"$jetsql" "$db" --schema > "$work/schema.sql" || fail "--schema exited $?"
"$jetsql" --create "$work/copia.mdb" < "$work/schema.sql" || fail "--create from --schema exited $?"
"$jetsql" "$work/copia.mdb" --schema > "$work/schema2.sql"
expect "$work/schema2.sql" "schema of the copy" < "$work/schema.sql"
grep -qF "CREATE INDEX [PorAlta] ON [Canciones] ([Alta] DESC, [Plays]);" "$work/schema.sql" \
  || fail "--schema lacks the two-column index: $(cat "$work/schema.sql")"

# --create never overwrites.
cp "$db" "$work/before.mdb"
if "$jetsql" --create "$db" 2> "$work/err"; then fail "--create overwrote a file"; fi
grep -qF "error 58" "$work/err" || fail "--create on an existing file is not error 58: $(cat "$work/err")"
cmp -s "$db" "$work/before.mdb" || fail "--create changed an existing file"

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
