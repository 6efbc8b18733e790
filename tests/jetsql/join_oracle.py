#!/usr/bin/env python3
"""Joins in jetsql held to an oracle that is not our engine.

Northwind's tables, as mdb-export prints them, go into SQLite (every value
as the text mdb-export prints, an empty field as NULL); each join is run
by jetsql on the Access-written file and its SQLite translation on those
tables, and the rows must agree (sorted: a join's order is not defined).
Then the refusals Jet gives, and INSERT ... SELECT of a join whose source
lies in another file, read back through mdb-export.

Usage: join_oracle.py JETSQL NWIND_MDB   (exit 77 without mdb-export)
"""
import csv
import io
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

JETSQL, NWIND = sys.argv[1], sys.argv[2]
TABLES = ["Orders", "Customers", "Order Details", "Products", "Categories", "Employees",
          "Suppliers", "Shippers"]

# (jetsql, SQLite) pairs: the same question in both dialects.
CASES = [
    ("SELECT o.OrderID, c.CompanyName FROM Orders AS o INNER JOIN Customers AS c "
     "ON o.CustomerID = c.CustomerID",
     "SELECT o.OrderID, c.CompanyName FROM Orders o JOIN Customers c ON o.CustomerID = c.CustomerID"),
    # Nested as Access writes them; an alias without AS; a column unqualified
    # where one source has it.
    ("SELECT d.OrderID, ProductName, c.CategoryName, Quantity FROM (([Order Details] d "
     "INNER JOIN Products p ON d.ProductID = p.ProductID) INNER JOIN Categories c "
     "ON p.CategoryID = c.CategoryID) INNER JOIN Orders o ON o.OrderID = d.OrderID "
     "WHERE o.ShipCountry = 'Germany'",
     "SELECT d.OrderID, ProductName, c.CategoryName, Quantity FROM \"Order Details\" d "
     "JOIN Products p ON d.ProductID = p.ProductID JOIN Categories c ON p.CategoryID = "
     "c.CategoryID JOIN Orders o ON o.OrderID = d.OrderID WHERE o.ShipCountry = 'Germany'"),
    # Rows without a partner, both ways round.
    ("SELECT c.CustomerID, c.CompanyName FROM Customers c LEFT JOIN Orders o "
     "ON c.CustomerID = o.CustomerID WHERE o.OrderID IS NULL",
     "SELECT c.CustomerID, c.CompanyName FROM Customers c LEFT JOIN Orders o "
     "ON c.CustomerID = o.CustomerID WHERE o.OrderID IS NULL"),
    ("SELECT Customers.CustomerID, Orders.OrderID FROM Orders RIGHT JOIN Customers "
     "ON Orders.CustomerID = Customers.CustomerID",
     "SELECT Customers.CustomerID, Orders.OrderID FROM Orders RIGHT JOIN Customers "
     "ON Orders.CustomerID = Customers.CustomerID"),
    # ON with more than the equated columns: a LEFT JOIN keeps the row.
    ("SELECT c.CustomerID, o.OrderID FROM Customers c LEFT JOIN Orders o "
     "ON c.CustomerID = o.CustomerID AND o.EmployeeID = 5",
     "SELECT c.CustomerID, o.OrderID FROM Customers c LEFT JOIN Orders o "
     "ON c.CustomerID = o.CustomerID AND o.EmployeeID = '5'"),
    # Columns no index covers (held in a hash), text compared without case.
    ("SELECT e.LastName, c.CompanyName FROM Employees e INNER JOIN Customers c ON e.City = c.City",
     "SELECT e.LastName, c.CompanyName FROM Employees e JOIN Customers c "
     "ON lower(e.City) = lower(c.City)"),
    # The comma join with its WHERE; and one with none (every pair).
    ("SELECT Orders.OrderID, Shippers.CompanyName FROM Orders, Shippers "
     "WHERE Orders.ShipVia = Shippers.ShipperID AND Orders.Freight > 500",
     "SELECT Orders.OrderID, Shippers.CompanyName FROM Orders, Shippers "
     "WHERE Orders.ShipVia = Shippers.ShipperID AND CAST(Orders.Freight AS REAL) > 500"),
    ("SELECT s.CompanyName, c.CategoryName FROM Shippers s, Categories c",
     "SELECT s.CompanyName, c.CategoryName FROM Shippers s, Categories c"),
    # t.*, grouping and sorting by qualified columns.
    ("SELECT s.*, p.ProductName FROM Shippers s INNER JOIN Orders o ON o.ShipVia = s.ShipperID "
     "INNER JOIN Customers c ON o.CustomerID = c.CustomerID, Products p "
     "WHERE c.CustomerID = 'ALFKI' AND p.ProductID < 3",
     "SELECT s.*, p.ProductName FROM Shippers s JOIN Orders o ON o.ShipVia = s.ShipperID "
     "JOIN Customers c ON o.CustomerID = c.CustomerID, Products p "
     "WHERE c.CustomerID = 'ALFKI' AND CAST(p.ProductID AS INTEGER) < 3"),
    ("SELECT c.Country, COUNT(o.OrderID) AS pedidos FROM Customers AS c LEFT JOIN Orders AS o "
     "ON c.CustomerID = o.CustomerID GROUP BY c.Country ORDER BY c.Country",
     "SELECT c.Country, COUNT(o.OrderID) FROM Customers c LEFT JOIN Orders o "
     "ON c.CustomerID = o.CustomerID GROUP BY c.Country"),
]

# Statements Jet refuses, with its numbers.
REFUSALS = [
    ("SELECT OrderID FROM Orders INNER JOIN [Order Details] d ON Orders.OrderID = d.OrderID", 3079),
    ("SELECT o.Nothing FROM Orders o INNER JOIN Customers c ON o.CustomerID = c.CustomerID", 3061),
    ("SELECT x.OrderID FROM Orders o", 3061),
    ("SELECT * FROM Orders o INNER JOIN Customers c ON o.CustomerID = c.CustomerID "
     "INNER JOIN Products p ON p.ProductID = x.ProductID", 3061),
    ("SELECT * FROM Orders INNER JOIN Customers Orders.CustomerID = Customers.CustomerID", 3135),
    ("SELECT * FROM Orders o INNER JOIN Customers c ON o.OrderID = c.CustomerID", 3615),
    ("SELECT * FROM Orders o INNER JOIN Customers o ON o.CustomerID = o.CustomerID", 3296),
]

failures = []


def fail(what):
    failures.append(what)
    print("FAIL:", what)


def run(*args):
    return subprocess.run([JETSQL, *args], capture_output=True, text=True)


def rows_of(csv_text):
    return [list(r) for r in csv.reader(io.StringIO(csv_text))]


def export(path, table):
    out = subprocess.run(["mdb-export", "-b", "strip", path, table], capture_output=True,
                         text=True, check=True)
    return rows_of(out.stdout)


def main():
    if not shutil.which("mdb-export"):
        print("mdb-export not installed (mdbtools)")
        return 77
    oracle = sqlite3.connect(":memory:")
    for table in TABLES:
        rows = export(NWIND, table)
        header = rows[0]
        columns = ", ".join('"%s"' % c for c in header)
        oracle.execute('CREATE TABLE "%s" (%s)' % (table, columns))
        oracle.executemany('INSERT INTO "%s" VALUES (%s)' % (table, ", ".join("?" * len(header))),
                           [[v if v != "" else None for v in r] for r in rows[1:]])

    for jet, lite in CASES:
        got = run(NWIND, jet)
        if got.returncode != 0:
            fail("%s: %s" % (jet, got.stderr.strip()))
            continue
        ours = sorted(rows_of(got.stdout)[1:])
        theirs = sorted([["" if v is None else str(v) for v in r] for r in oracle.execute(lite)])
        if not theirs:
            fail("the oracle finds no rows for " + lite)
        if ours != theirs:
            fail("%s: %d rows, the oracle %d; first differences %s"
                 % (jet, len(ours), len(theirs),
                    [(a, b) for a, b in zip(ours, theirs) if a != b][:3]))

    # Shown columns two sources share are named by source, as Jet names them.
    got = run(NWIND, "SELECT TOP 1 * FROM Shippers s INNER JOIN Orders o ON o.ShipVia = s.ShipperID")
    header = rows_of(got.stdout)[0] if got.returncode == 0 else []
    if "CompanyName" not in header or "o.OrderID" in header or "ShipVia" not in header:
        fail("SELECT * over a join names its columns " + str(header))

    for jet, number in REFUSALS:
        got = run(NWIND, jet)
        if got.returncode != 1 or ("error %d:" % number) not in got.stderr:
            fail("%s: expected error %d, got %d %s" % (jet, number, got.returncode, got.stderr))

    # A source in another file, by a path relative to the database's folder;
    # INSERT ... SELECT of a join of it with a table of the database itself.
    with tempfile.TemporaryDirectory() as work:
        main_db = os.path.join(work, "datos.mdb")
        shutil.copy(NWIND, main_db)
        shutil.copy(NWIND, os.path.join(work, "otra.mdb"))
        count = run(main_db, "SELECT COUNT(*) FROM Orders IN 'otra.mdb'")
        if rows_of(count.stdout)[1:] != [[str(len(export(NWIND, "Orders")) - 1)]]:
            fail("COUNT(*) of a table IN 'otra.mdb': " + count.stdout + count.stderr)
        made = run(main_db, "CREATE TABLE pedidos (id LONG, cliente TEXT(40), pais TEXT(15))",
                   "INSERT INTO pedidos (id, cliente, pais) SELECT o.OrderID, c.CompanyName, "
                   "c.Country FROM Orders IN 'otra.mdb' AS o INNER JOIN Customers c "
                   "ON o.CustomerID = c.CustomerID WHERE o.EmployeeID = 3")
        if made.returncode != 0:
            fail("INSERT ... SELECT of a join: " + made.stderr)
        written = sorted(export(main_db, "pedidos")[1:])
        expected = sorted([[str(a), b, c] for a, b, c in oracle.execute(
            "SELECT o.OrderID, c.CompanyName, c.Country FROM Orders o JOIN Customers c "
            "ON o.CustomerID = c.CustomerID WHERE o.EmployeeID = '3'")])
        if written != expected:
            fail("INSERT ... SELECT wrote %d rows, the oracle %d" % (len(written), len(expected)))
        # One table of the other file, copied straight from its rows.
        copied = run(main_db, "CREATE TABLE transportistas (ShipperID LONG, CompanyName TEXT(40))",
                     "INSERT INTO transportistas SELECT ShipperID, CompanyName "
                     "FROM Shippers IN 'otra.mdb'")
        if copied.returncode != 0 or export(main_db, "transportistas") != [
                r[:2] for r in export(NWIND, "Shippers")]:
            fail("INSERT ... SELECT FROM Shippers IN 'otra.mdb': " + copied.stderr)
        checked = run(main_db, "--check")
        if checked.returncode != 0:
            fail("--check after the INSERT: " + checked.stdout)

    print("%d joins, %d refusals, %d failures" % (len(CASES), len(REFUSALS), len(failures)))
    return 1 if failures else 0


sys.exit(main())
