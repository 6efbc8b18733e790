#include "tools/jetsql/command_line.h"

namespace act::jetsql {

Options ParseCommandLine(const std::vector<std::string>& args) {
  Options o;
  bool options_ended = false;
  bool have_file = false;
  for (const std::string& arg : args) {
    if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") options_ended = true;
      else if (arg == "--create") o.create = true;
      else if (arg == "--json") o.json = true;
      else if (arg == "--keep-going") o.keep_going = true;
      else if (arg == "--tables") o.list_tables = true;
      else if (arg == "--schema") o.schema = true;
      else if (arg == "--check") o.check = true;
      else if (arg == "--compact") o.compact = true;
      else if (arg == "--repair") o.repair = true;
      else if (arg == "--help" || arg == "-h") o.help = true;
      else throw UsageError("unknown option " + arg);
      continue;
    }
    if (!have_file) {
      o.file = arg;
      have_file = true;
    } else {
      o.statements.push_back(arg);
    }
  }
  if (o.help) return o;
  if (!have_file || o.file.empty()) throw UsageError("no database file given");
  int modes =
      int(o.list_tables) + int(o.schema) + int(o.check) + int(o.compact) + int(o.repair);
  if (modes > 1)
    throw UsageError("--tables, --schema, --check, --compact and --repair go one at a time");
  if (o.compact) {
    if (o.statements.size() != 1 || o.create)
      throw UsageError("--compact takes a SOURCE and a TARGET file, and nothing else");
    o.target = o.statements.front();
    o.statements.clear();
  } else if (modes == 1 && (!o.statements.empty() || o.create)) {
    throw UsageError("--tables, --schema, --check and --repair take no statements and no --create");
  }
  return o;
}

bool ReadsStandardInput(const Options& o) {
  return o.statements.empty() && !o.list_tables && !o.schema && !o.check && !o.compact &&
         !o.repair;
}

const char* HelpText() {
  return R"(Usage:
  jetsql FILE STATEMENT...      run each statement on FILE, in order
  jetsql FILE                   read statements from standard input, separated by ';'
  jetsql --create FILE [STATEMENT...]
                                make FILE a new, empty Access 97 database (never
                                over an existing file), then run the statements
  jetsql FILE --tables          list the user tables, one a line
  jetsql FILE --schema          print each user table as CREATE TABLE and CREATE INDEX
                                statements that jetsql --create accepts
  jetsql FILE --check           run the engine's consistency check (row counts,
                                free space, index entries against the rows, page
                                ownership): print each finding, then what was
                                checked; exit 1 only on damage (rows Access or
                                this engine would read wrong or miss, or live data
                                a write could overwrite). "note:" lines are what
                                Access leaves until the database is compacted
                                (unowned pages, stale system-table counts)
  jetsql --compact SOURCE TARGET
                                write TARGET (a new file) holding everything SOURCE
                                holds, every page in use, as Access's "Compact
                                Database" does: tables, rows, indexes, relationships,
                                properties, saved queries, and Access's own objects
                                as stored; SOURCE is only read. Rows that cannot be
                                read are left behind and listed (exit 1); the rest is
                                copied. Access 97 files only
  jetsql --repair FILE          put right what --check reports as damage while the
                                rows read (index entries, row counts, page maps):
                                FILE is rebuilt from its rows beside it and takes
                                its place whole, then checked. When rows cannot be
                                read it changes nothing and says where: --compact
                                then rescues what can be read
  jetsql --help                 show this text

Options:
  --json    print SELECT rows as JSON, one object per row: Null as null, numbers
            as numbers, booleans as true/false, dates in ISO 8601
            (2024-05-01T10:30:00), binary as hex digits
  --keep-going
            write into FILE as the statements go, keeping those before a
            failing one (see below), instead of all or nothing
  --        end of options (a statement may then begin with '-')

Statements (Jet SQL; keywords in any case, names plain or in [brackets], texts
in 'apostrophes' or "quotes" with the quote doubled inside, dates as #...#):
  SELECT [DISTINCT] [TOP n [PERCENT]] * | expr [AS name], ... FROM sources
         [WHERE condition] [GROUP BY expr, ...] [HAVING condition]
         [UNION [ALL] SELECT ...]... [ORDER BY expr | alias | n [ASC|DESC], ...]
    an expr may use the columns, COUNT(*), COUNT(x), SUM(x), AVG(x), MIN(x),
    MAX(x); COUNT(x) leaves Nulls out, SUM, AVG, MIN and MAX of no values are
    Null, SUM of Currency adds exactly; TOP n also returns the rows that tie
    with the n-th; DISTINCT and GROUP BY give their rows in the order of their
    values; ORDER BY 2 sorts by the second column of the result
  FROM sources: a table [IN 'file'] [[AS] alias], or sources joined, in
  parentheses as Access writes them, and any column written table.column:
    FROM (canciones AS c INNER JOIN generos AS g ON c.genero = g.id)
         LEFT JOIN albumes a ON c.album = a.id      (LEFT, RIGHT, INNER JOIN)
    FROM canciones c, generos g WHERE c.genero = g.id   (the old comma join)
    SELECT c.*, g.nombre ...      t.* is every column of t
    FROM canciones IN 'otra.mdb'  a table of another file (beside FILE unless
                                  the path is absolute)
    a column two sources have must be qualified (error 3079); a LEFT JOIN row
    without a partner has Null in the other side's columns
  UPDATE table SET col = expr, ... [WHERE condition]
  INSERT INTO table [(col, ...)] [IN 'file'] SELECT ...
  INSERT INTO table [(col, ...)] [IN 'file'] VALUES (expr, ...)
  CREATE TABLE table (col TYPE [(size)] [NOT NULL] [PRIMARY KEY | UNIQUE], ...,
                      [CONSTRAINT name PRIMARY KEY | UNIQUE (col, ...)])
  CREATE [UNIQUE] INDEX name ON table (col [ASC|DESC], ...)
                      [WITH PRIMARY | WITH DISALLOW NULL | WITH IGNORE NULL]
  DELETE [table.* | *] FROM table [WHERE condition]
      DELETE FROM publicidad WHERE fin < #1/1/2026#
    rows that other tables' rows refer to go with them where the relationship
    cascades deletes; where one does not, nothing is deleted (error 3200)
  DROP TABLE table
      DROP TABLE importacion_vieja
  DROP INDEX name ON table
      DROP INDEX PorTitulo ON canciones
    a table, index or column that a relationship uses is not dropped (3303)
  ALTER TABLE table ADD [COLUMN] col TYPE [(size)]
      ALTER TABLE clientes ADD COLUMN telefono TEXT(20)
  ALTER TABLE table DROP [COLUMN] col
      ALTER TABLE clientes DROP COLUMN fax
    a column an index holds is not dropped (3280): drop the index first
  Conditions: =, <>, <, <=, >, >=, [NOT] IN (values), [NOT] BETWEEN x AND y,
  [NOT] LIKE 'pattern' (* any text, ? any character, # a digit, [a-z] one of,
  [!a-z] none of, [*] a star), IS [NOT] NULL, AND, OR, NOT and parentheses.
  Text compares without regard to letter case; text against a number is an
  error (3464). Values: 'text', 12, -1.5, #2024-05-01 10:30:00#, #5/1/2024#,
  #10:30#, NULL, TRUE, FALSE, 0x0AFF. Any value may stand as a condition:
  WHERE activo, WHERE NOT activo (true when not 0). BETWEEN takes its bounds
  either way round. Examples:
    SELECT titulo, duracion / 60 AS minutos FROM canciones ORDER BY minutos
    SELECT nombre & ' ' & apellido FROM clientes     (& takes Null as '')
    UPDATE configuracion SET valor = valor + 1 WHERE elemento = 'x'
    SELECT TOP 10 PERCENT titulo FROM canciones ORDER BY 1
    SELECT titulo FROM canciones WHERE genero IN (SELECT id FROM generos
      WHERE nombre LIKE 'Rock*')           (also NOT IN, EXISTS (SELECT ...))
    SELECT titulo FROM canciones WHERE duracion = (SELECT MAX(duracion)
      FROM canciones)                      (a subquery of one value)
    SELECT nombre FROM generos UNION SELECT nombre FROM viejos ORDER BY 1
      (UNION drops repeated rows, UNION ALL keeps them)
  Subqueries run once, before the statement's rows: they cannot name the
  outer statement's columns.
  Operators, tightest first: ^, unary -, * /, \ (whole division), Mod, + -,
  & (joins text), then comparisons, NOT, AND, OR. + of two texts joins them;
  text that reads as a number counts as one; Null in gives Null out.
  Functions (Visual Basic's), one example each:
    Len(titulo)  Left(titulo, 3)  Right(titulo, 3)  Mid(titulo, 2, 3)
    InStr(titulo, 'love')  UCase(titulo)  LCase(titulo)  Trim(titulo)
    LTrim(titulo)  RTrim(titulo)  Replace(titulo, '_', ' ')  Space(3)
    String(3, '*')  Year(fecha)  Month(fecha)  Day(fecha)  Hour(fecha)
    Minute(fecha)  Second(fecha)  Weekday(fecha)  DateAdd('m', 1, fecha)
    DateDiff('d', alta, Now())  DateSerial(2026, 1, 31)  DateValue('2026-01-31')
    Date()  Now()  Nz(region, '-')  IIf(importe > 0, 'cobro', 'pago')
    IsNull(region)  Val('12 kg')  Str(12)  CStr(1.5)  CLng(2.5)  CInt(2.5)
    CDbl('1.5')  CCur(importe)  CDate('31/01/2026')  Int(-2.5)  Fix(-2.5)
    Abs(-3)  Round(2.5)  Sgn(-3)  Format(fecha, 'dd/mm/yyyy')
    Format(importe, '#,##0.00')
  Round, CInt and CLng round half to even; Now() and Date() read the
  computer's clock (local time); dates become text as dd/mm/yyyy hh:nn:ss.
  NOT NULL makes the column Required (a Null in it is refused; --schema
  prints it back). INSERT ... VALUES writes one row, and a row the table
  refuses (duplicate key, missing required value, broken relationship, a value
  that does not fit) is an error; INSERT ... SELECT leaves refused rows out and
  UPDATE keeps a refused row as it was, as Access does without dbFailOnError.
  Types: TEXT(n), MEMO, BYTE, SHORT, LONG, COUNTER, CURRENCY, SINGLE, DOUBLE,
  DATETIME, BIT, BINARY(n), LONGBINARY, GUID, and the synonyms Jet accepts
  (VARCHAR, INTEGER, SMALLINT, FLOAT, REAL, DATE, YESNO, MONEY, ...).

Output: SELECT rows go to standard output as CSV with a header line, in the form
mdb-export prints by default (compare the two with diff), or as JSON with
--json. Arguments and output are UTF-8.

Statements run in order, and the first that fails ends the run (exit status
1). A run changes the file all or nothing: the statements write into a copy
beside it (FILE.write.tmp), which takes the file's place in one step once every
statement has run and the copy is on the disk. Whatever stops the run before
that (a failing statement, a full disk, Ctrl+C, a kill, a power cut), FILE is
as it was, and the copy is gone or removed by the next run; the disk must hold
the copy while the run lasts. A write that would take the file past the
format's size limit (1 GB for Access 97, 2 GB for Access 2000) fails with
error 3036. INSERT ... IN 'file' writes that other file directly, as its
statement goes.

No statement writes while another program (the product, Access) has FILE
open: the run fails with error 3045 and changes nothing. While it writes,
jetsql marks FILE in use the way Jet does (FILE's .ldb, locked), so that no
one else opens it meanwhile; reading needs no mark and works beside them.

With --keep-going the statements write into FILE itself as they go: when one
fails, the statements before it stay done, and a statement stopped part-way
(by its failure, a kill or a power cut) can leave part of its rows, or damage
that --check reports. Keep a copy of a file you cannot lose.

Exit status: 0 when everything ran, 1 on an error; the message on standard
error names the file and quotes the statement. SELECT, --tables, --schema and
--check never change the file.
)";
}

}  // namespace act::jetsql
