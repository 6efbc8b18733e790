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
      else if (arg == "--tables") o.list_tables = true;
      else if (arg == "--schema") o.schema = true;
      else if (arg == "--check") o.check = true;
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
  int listings = int(o.list_tables) + int(o.schema) + int(o.check);
  if (listings > 1) throw UsageError("--tables, --schema and --check go one at a time");
  if (listings == 1 && (!o.statements.empty() || o.create))
    throw UsageError("--tables, --schema and --check take no statements and no --create");
  return o;
}

bool ReadsStandardInput(const Options& o) {
  return o.statements.empty() && !o.list_tables && !o.schema && !o.check;
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
  jetsql --help                 show this text

Options:
  --json    print SELECT rows as JSON, one object per row: Null as null, numbers
            as numbers, booleans as true/false, dates in ISO 8601
            (2024-05-01T10:30:00), binary as hex digits
  --        end of options (a statement may then begin with '-')

Statements (Jet SQL; keywords in any case, names plain or in [brackets], texts
in 'apostrophes' or "quotes" with the quote doubled inside, dates as #...#):
  SELECT [DISTINCT] [TOP n [PERCENT]] * | expr [AS name], ... FROM sources
         [WHERE condition] [GROUP BY expr, ...] [HAVING condition]
         [ORDER BY expr | alias | n [ASC|DESC], ...]
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
1) with those before it done. Their changes reach the file in batches and the
file is synced once, at the end (or at the failure). If the run is
interrupted (Ctrl+C, killed), the file stays readable and holds the run's
first statements, up to the last batch written: the statements after them are
lost. A power cut or a crash of the system before the end can lose or damage
everything the run wrote: keep a copy of a file you cannot lose.

Exit status: 0 when everything ran, 1 on an error; the message on standard
error names the file and quotes the statement. SELECT, --tables, --schema and
--check never change the file.
)";
}

}  // namespace act::jetsql
