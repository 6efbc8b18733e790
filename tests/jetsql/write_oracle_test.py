#!/usr/bin/env python3
"""DELETE, DROP and ALTER run by jetsql on copies of Access's Northwind,
each held to an answer worked out here, outside our engine, from what
mdb-export reads of the untouched file (its rows, and MSysRelationships for
what cascades and what refuses). After every run: jetsql --check finds no
damage, and mdb-export and mdb-reader read back exactly the expected rows.

Usage: write_oracle_test.py JETSQL DATA_DIR TESTS_TOOLS_DIR
"""
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

JETSQL, DATA, TOOLS = sys.argv[1:4]
SAMPLE = os.path.join(DATA, "jet", "jet3", "nwind.mdb")
CASCADE_DELETES = 0x1000
NOT_ENFORCED = 0x2


def run(*args):
    return subprocess.run(args, capture_output=True, text=True)


def export(db, table):
    """The table as mdb-export prints it: its header and its rows, in order."""
    out = run("mdb-export", "-b", "hex", db, table)
    assert out.returncode == 0, out.stderr
    rows = list(csv.reader(io.StringIO(out.stdout)))
    return rows[0], rows[1:]


def user_tables(db):
    return sorted(run("mdb-tables", "-1", db).stdout.split("\n")[:-1])


def everything(db):
    return {t: export(db, t) for t in user_tables(db)}


def reader_rows(db):
    """mdb-reader's rows: each table's row count and first column, as text."""
    script = """
      import { readFileSync } from "node:fs";
      import MDBReader from "mdb-reader";
      const r = new MDBReader(readFileSync(process.argv[1]));
      const out = {};
      for (const name of r.getTableNames()) {
        const t = r.getTable(name);
        const first = t.getColumnNames()[0];
        out[name] = t.getData().map(row => row[first] === null ? "" : String(row[first]));
      }
      console.log(JSON.stringify(out));
    """
    out = subprocess.run(["node", "--input-type=module", "-e", script, db], cwd=TOOLS,
                         capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    return json.loads(out.stdout)


# ---- the oracle ----

def delete_oracle(before, rels, table, doomed_row):
    """The tables once the rows of `table` for which doomed_row holds are
    deleted, cascades followed; or 3200 when a relationship refuses."""
    tables = {t: (h, list(r)) for t, (h, r) in before.items()}
    gone = {t: set() for t in tables}

    def column(t, name):
        return [c.lower() for c in tables[t][0]].index(name.lower())

    def remove(t, indexes):
        new = set(indexes) - gone[t]
        if not new:
            return
        gone[t] |= new
        for name, grbit, _, _, child, child_col, parent, parent_col in rels:
            if parent.lower() != t.lower() or int(grbit) & NOT_ENFORCED:
                continue
            child = next(c for c in tables if c.lower() == child.lower())
            keys = {tables[t][1][i][column(t, parent_col)] for i in new}
            k = column(child, child_col)
            children = [i for i, r in enumerate(tables[child][1]) if r[k] in keys and r[k] != ""]
            children = [i for i in children if i not in gone[child]]
            if children and not int(grbit) & CASCADE_DELETES:
                raise Refused(3200)
            remove(child, children)

    header, rows = tables[table]
    remove(table, [i for i, r in enumerate(rows) if doomed_row(dict(zip(header, r)))])
    return {t: (h, [r for i, r in enumerate(rows) if i not in gone[t]])
            for t, (h, rows) in tables.items()}


class Refused(Exception):
    def __init__(self, number):
        self.number = number


def deleting(table, doomed_row):
    return lambda before, rels: delete_oracle(before, rels, table, doomed_row)


def refused(number):
    def oracle(before, rels):
        raise Refused(number)
    return oracle


def without_table(name):
    return lambda before, rels: {t: v for t, v in before.items() if t != name}


def altered(before, rels):
    """Umsätze with ShipName dropped, four columns added, then one row."""
    header, rows = before["Umsätze"]
    k = header.index("ShipName")
    header = header[:k] + header[k + 1:] + ["Nota", "Extra", "Cuenta", "Activo"]
    rows = [r[:k] + r[k + 1:] + ["", "", "", "0"] for r in rows]
    row = ["1"] + [""] * (len(header) - 5) + ["nota é", "memo ü", "7", "1"]
    row[header.index("Freight")] = "2.5000"
    rows.append(row)
    return dict(before, **{"Umsätze": (header, rows)})


def quantity(row):
    return int(row["Quantity"]) > 20


# name, statements (run on the copy in order), oracle
CASES = [
    ("delete rows of a table nothing refers to",
     ["DELETE FROM [Order Details] WHERE Quantity > 20"],
     deleting("Order Details", quantity)),
    ("delete t.* cascades into the rows that refer to them",
     ["DELETE Orders.* FROM Orders WHERE OrderID < 10260"],
     deleting("Orders", lambda r: int(r["OrderID"]) < 10260)),
    ("delete a parent with children, no cascade",
     ["DELETE FROM Customers WHERE CustomerID = 'ALFKI'"],
     deleting("Customers", lambda r: r["CustomerID"] == "ALFKI")),
    ("delete a parent without children",
     ["DELETE FROM Customers WHERE CustomerID IN ('PARIS', 'FISSA')"],
     deleting("Customers", lambda r: r["CustomerID"] in ("PARIS", "FISSA"))),
    ("delete every row, no WHERE",
     ["DELETE * FROM [Umsätze]"],
     deleting("Umsätze", lambda r: True)),
    ("delete every row of a parent",
     ["DELETE FROM Shippers"],
     deleting("Shippers", lambda r: True)),
    ("drop a table no relationship names",
     ["DROP TABLE [Umsätze]"], without_table("Umsätze")),
    ("drop a table in a relationship", ["DROP TABLE Orders"], refused(3303)),
    ("drop a table that is not there", ["DROP TABLE Nada"], refused(3376)),
    ("drop an index; the relationships after it still cascade",
     ["DROP INDEX OrderDate ON Orders", "DROP INDEX ShipPostalCode ON Orders",
      "DELETE FROM Orders WHERE OrderID = 10250"],
     deleting("Orders", lambda r: r["OrderID"] == "10250")),
    ("drop the index a relationship uses", ["DROP INDEX PrimaryKey ON Orders"], refused(3303)),
    ("drop an index that is not there", ["DROP INDEX Nada ON Orders"], refused(3377)),
    ("add and drop columns, then a row",
     ["ALTER TABLE [Umsätze] ADD COLUMN Nota TEXT(20)", "ALTER TABLE [Umsätze] ADD Extra MEMO",
      "ALTER TABLE [Umsätze] ADD COLUMN Cuenta LONG", "ALTER TABLE [Umsätze] ADD Activo BIT",
      "ALTER TABLE [Umsätze] DROP COLUMN ShipName",
      "INSERT INTO [Umsätze] (OrderID, Freight, Nota, Extra, Cuenta, Activo) "
      "VALUES (1, 2.5, 'nota é', 'memo ü', 7, TRUE)"],
     altered),
    ("drop a column a relationship names",
     ["ALTER TABLE Orders DROP COLUMN CustomerID"], refused(3303)),
    ("drop an indexed column", ["ALTER TABLE Orders DROP COLUMN OrderDate"], refused(3280)),
    ("add a column the table has", ["ALTER TABLE Orders ADD COLUMN Freight LONG"], refused(3191)),
]


def check_file(db, expected, sort=False):
    """--check, then both readers against the expected tables."""
    problems = []
    check = run(JETSQL, db, "--check")
    if check.returncode != 0 or "no damage" not in check.stdout:
        problems.append("--check: " + check.stdout[-400:])
    if user_tables(db) != sorted(expected):
        problems.append("tables %s, expected %s" % (user_tables(db), sorted(expected)))
        return problems
    theirs = reader_rows(db)
    for table, (header, rows) in expected.items():
        got_header, got = export(db, table)
        if sort:
            got, rows = sorted(got), sorted(rows)
        if got_header != header or got != rows:
            differ = [(a, b) for a, b in zip([got_header] + got, [header] + rows) if a != b]
            problems.append("mdb-export %s: %d rows, expected %d; first difference %s"
                            % (table, len(got), len(rows), differ[:1]))
        if sorted(theirs[table]) != sorted(r[0] for r in rows):
            problems.append("mdb-reader %s: %d rows, expected %d"
                            % (table, len(theirs[table]), len(rows)))
    return problems


def main():
    if not shutil.which("mdb-export"):
        print("mdb-export is missing: scripts/install-deps.sh installs it")
        return 1
    before = everything(SAMPLE)
    _, rels = export(SAMPLE, "MSysRelationships")
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, statements, oracle in CASES:
            db = os.path.join(work, "case.mdb")
            shutil.copyfile(SAMPLE, db)
            try:
                expected, refusal = oracle(before, rels), None
            except Refused as r:
                expected, refusal = before, r.number
            out = run(JETSQL, db, *statements)
            problems = []
            if refusal is None and out.returncode != 0:
                problems.append("failed: " + out.stderr)
            if refusal is not None and "error %d:" % refusal not in out.stderr:
                problems.append("expected error %d, got: %s" % (refusal, out.stderr or "success"))
            problems += check_file(db, expected)
            failures += bool(problems)
            print(("FAIL " if problems else "ok   ") + name)
            for p in problems:
                print("     " + p)

        # Space a DELETE frees takes the same rows back: the file does not grow.
        db = os.path.join(work, "reuse.mdb")
        source = os.path.join(work, "source.mdb")
        shutil.copyfile(SAMPLE, db)
        shutil.copyfile(SAMPLE, source)
        where = " WHERE Quantity > 20"
        run(JETSQL, db, "DELETE FROM [Order Details]" + where)
        out = run(JETSQL, source, "INSERT INTO [Order Details] IN '%s' SELECT * FROM "
                  "[Order Details]%s" % (db, where))
        problems = [out.stderr] if out.returncode else []
        if os.path.getsize(db) != os.path.getsize(SAMPLE):
            problems.append("grew from %d to %d bytes" % (os.path.getsize(SAMPLE),
                                                          os.path.getsize(db)))
        problems += check_file(db, before, sort=True)
        failures += bool(problems)
        print(("FAIL " if problems else "ok   ") + "rows deleted, then appended again")
        for p in problems:
            print("     " + p)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
