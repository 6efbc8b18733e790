#!/usr/bin/env python3
"""Expressions, functions and the small SELECT features of jetsql, each held
to an answer worked out here from Northwind as mdb-export prints it (Access's
own sample), one table of queries per family. Then an UPDATE with
expressions on a copy, read back by jetsql --check, mdb-export and
mdb-reader. Usage: expression_oracle.py JETSQL SAMPLE_MDB TESTS_TOOLS_DIR"""
import csv, datetime, io, math, os, shutil, subprocess, sys, tempfile

jetsql, sample, tools = sys.argv[1:4]
if not shutil.which("mdb-export"):
    print("mdb-export not installed (mdbtools)")
    sys.exit(77)
failures = 0


def export(path, table):
    out = subprocess.run(["mdb-export", path, table], capture_output=True, text=True, check=True)
    return list(csv.DictReader(io.StringIO(out.stdout)))


def run(path, sql):
    p = subprocess.run([jetsql, path, sql], capture_output=True, text=True)
    if p.returncode != 0:
        return None, p.stderr.strip()
    return [r for r in csv.reader(io.StringIO(p.stdout))][1:], None


def date(text):  # mdb-export's "MM/DD/YY HH:MM:SS"
    if not text:
        return None
    d = datetime.datetime.strptime(text, "%m/%d/%y %H:%M:%S")
    return d


def jdate(d):  # how jetsql prints a date, mdb-export's form
    return d.strftime("%m/%d/%y %H:%M:%S")


def money(x):
    return "%.4f" % x


def half_even(x, places=0):
    from decimal import Decimal, ROUND_HALF_EVEN
    return float(Decimal(repr(x)).quantize(Decimal(1).scaleb(-places), rounding=ROUND_HALF_EVEN))


def check(family, sql, expected):
    global failures
    got, err = run(sample, sql)
    expected = [[str(v) for v in row] for row in expected]
    if got != expected:
        failures += 1
        print("FAIL [%s] %s\n  error: %s\n  expected: %s\n  got:      %s"
              % (family, sql, err, expected[:5], (got or [])[:5]))


products = export(sample, "Products")
orders = export(sample, "Orders")
p1 = [p for p in products if p["ProductID"] == "1"][0]
o1 = [o for o in orders if o["OrderID"] == "10330"][0]

# Arithmetic: + - * / \ Mod ^ &, unary minus, Null propagation.
for p in products[:1]:
    price, stock = float(p["UnitPrice"]), int(p["UnitsInStock"])
    check("arithmetic",
          "SELECT UnitPrice * 2, UnitsInStock + 1, UnitsInStock - 50, UnitsInStock / 4, "
          "UnitsInStock \\ 4, UnitsInStock Mod 4, 2 ^ 10, -UnitsInStock, "
          "ProductName & ' x' & UnitsInStock, '12' + 3, 'a' + 'b', (1 + 2) * 3 - -1 "
          "FROM Products WHERE ProductID = 1",
          [[money(price * 2), stock + 1, stock - 50, repr(stock / 4), stock // 4, stock % 4, 1024,
            -stock, p["ProductName"] + " x" + str(stock), 15, "ab", 10]])
check("arithmetic", "SELECT COUNT(*) FROM Products WHERE UnitPrice * UnitsInStock > 1000",
      [[sum(1 for p in products if float(p["UnitPrice"]) * int(p["UnitsInStock"]) > 1000)]])
check("arithmetic", "SELECT COUNT(*) FROM Orders WHERE (Freight + 1) / 2 < ShipVia * 3",
      [[sum(1 for o in orders if (float(o["Freight"]) + 1) / 2 < int(o["ShipVia"]) * 3)]])
missing = [o for o in orders if not o["ShipRegion"]]
check("arithmetic", "SELECT COUNT(*) FROM Orders WHERE ShipRegion & 'x' = 'x'", [[len(missing)]])
check("arithmetic", "SELECT COUNT(*) FROM Orders WHERE (ShipRegion + 'x') IS NULL", [[len(missing)]])

# Text functions.
name = p1["ProductName"]
check("text",
      "SELECT Len(ProductName), Left(ProductName, 2), Right(ProductName, 2), Mid(ProductName, 2, 2), "
      "Mid(ProductName, 3), InStr(ProductName, 'A'), InStr(2, 'abcabc', 'c'), UCase(ProductName), "
      "LCase(ProductName), Trim('  a b  '), LTrim('  a'), RTrim('a  ') & '|', "
      "Replace('a-b-c', '-', '+'), Space(3) & '|', String(3, '*') FROM Products WHERE ProductID = 1",
      [[len(name), name[:2], name[-2:], name[1:3], name[2:], name.lower().find("a") + 1, 3,
        name.upper(), name.lower(), "a b", "a", "a|", "a+b+c", "   |", "***"]])
check("text", "SELECT COUNT(*) FROM Products WHERE Len(ProductName) > 20 AND UCase(Left(ProductName, 1)) = 'C'",
      [[sum(1 for p in products if len(p["ProductName"]) > 20 and p["ProductName"][0].upper() == "C")]])

# Date functions.
od, sd = date(o1["OrderDate"]), date(o1["ShippedDate"])
check("dates",
      "SELECT Year(OrderDate), Month(OrderDate), Day(OrderDate), Hour(#10:30:15#), Minute(#10:30:15#), "
      "Second(#10:30:15#), Weekday(OrderDate), DateAdd('m', 3, OrderDate), DateAdd('d', -20, OrderDate), "
      "DateDiff('d', OrderDate, ShippedDate), DateDiff('m', OrderDate, #2026-01-31#), "
      "DateSerial(2024, 14, 0), DateValue('2024-05-01 10:30') FROM Orders WHERE OrderID = 10330",
      [[od.year, od.month, od.day, 10, 30, 15, od.isoweekday() % 7 + 1,
        jdate(od.replace(month=(od.month + 2) % 12 + 1, year=od.year + (od.month + 2) // 12)),
        jdate(od - datetime.timedelta(days=20)), (sd - od).days,
        (2026 * 12 + 1) - (od.year * 12 + od.month), jdate(datetime.datetime(2025, 1, 31)),
        jdate(datetime.datetime(2024, 5, 1))]])
for year in (1994, 1995):
    check("dates", "SELECT COUNT(*) FROM Orders WHERE Year(OrderDate) = %d" % year,
          [[sum(1 for o in orders if date(o["OrderDate"]).year == year)]])
late = sum(1 for o in orders if o["ShippedDate"] and
           (date(o["ShippedDate"]) - date(o["OrderDate"])).days > 30)
check("dates", "SELECT COUNT(*) FROM Orders WHERE DateDiff('d', OrderDate, ShippedDate) > 30", [[late]])
check("dates", "SELECT Format(OrderDate, 'yyyy-mm-dd'), Format(OrderDate, 'dd/mm/yy hh:nn') "
      "FROM Orders WHERE OrderID = 10330", [[od.strftime("%Y-%m-%d"), od.strftime("%d/%m/%y %H:%M")]])
check("dates", "SELECT Year(Now()) >= 2024, Date() <= Now() FROM Products WHERE ProductID = 1",
      [[1, 1]])

# Conversions.
freight = float(o1["Freight"])
check("conversions",
      "SELECT Nz(ShipRegion, 'none'), Nz(NULL, 'none'), IIf(Freight > 10, 'big', 'small'), "
      "IIf(Freight = 0, 0, 1 / Freight) > 0, IsNull(ShipRegion), Val(' 1 2.5kg'), Str(42), CStr(1.5), "
      "CLng(2.5), CLng(3.5), CInt(-2.5), CDbl('1.25'), CCur(1.23456), CDate('2024-05-01'), "
      "Int(-2.5), Fix(-2.5), Abs(-3), Round(2.5), Round(3.5), Round(1.2345, 2), Sgn(-7), "
      "Format(1234.5, '#,##0.00'), Format(0.25, '0%') FROM Orders WHERE OrderID = 10330",
      [[o1["ShipRegion"] or "none", "none", "big" if freight > 10 else "small", 1,
        0 if o1["ShipRegion"] else 1, 12.5, " 42", "1.5", 2, 4, -2, 1.25, "1.2346",
        jdate(datetime.datetime(2024, 5, 1)), -3, -2, 3, int(half_even(2.5)), int(half_even(3.5)),
        half_even(1.2345, 2), -1, "1,234.50", "25%"]])

# The small ones: BETWEEN either way round, ORDER BY an ordinal or an
# alias, TOP n PERCENT, a Yes/No column as the condition.
def between(lo, hi):
    return sum(1 for p in products if lo <= float(p["UnitPrice"]) <= hi)
check("small", "SELECT COUNT(*) FROM Products WHERE UnitPrice BETWEEN 20 AND 10", [[between(10, 20)]])
check("small", "SELECT COUNT(*) FROM Products WHERE UnitPrice NOT BETWEEN 20 AND 10",
      [[len(products) - between(10, 20)]])
check("small", "SELECT COUNT(*) FROM Products WHERE ProductName BETWEEN 'M' AND 'C'",
      [[sum(1 for p in products if "C" <= p["ProductName"].upper() <= "M")]])
check("small", "SELECT COUNT(*) FROM Orders WHERE OrderDate BETWEEN #1995-01-01# AND #1994-07-01#",
      [[sum(1 for o in orders if datetime.datetime(1994, 7, 1) <= date(o["OrderDate"]) <= datetime.datetime(1995, 1, 1))]])
by_price = sorted(products, key=lambda p: (-float(p["UnitPrice"]), int(p["ProductID"])))
check("small", "SELECT TOP 3 ProductID, UnitPrice FROM Products ORDER BY 2 DESC, 1",
      [[p["ProductID"], p["UnitPrice"]] for p in by_price[:3]])
check("small", "SELECT TOP 3 ProductID, UnitPrice * 2 AS doble FROM Products ORDER BY doble DESC, ProductID",
      [[p["ProductID"], money(2 * float(p["UnitPrice"]))] for p in by_price[:3]])
n = math.ceil(len(products) * 10 / 100)
check("small", "SELECT TOP 10 PERCENT ProductID FROM Products ORDER BY UnitPrice DESC, ProductID",
      [[p["ProductID"]] for p in by_price[:n]])
gone = sum(1 for p in products if p["Discontinued"] == "1")
check("small", "SELECT COUNT(*) FROM Products WHERE Discontinued", [[gone]])
check("small", "SELECT COUNT(*) FROM Products WHERE NOT Discontinued", [[len(products) - gone]])
check("small", "SELECT Year(OrderDate) AS y, COUNT(*) FROM Orders GROUP BY Year(OrderDate) ORDER BY 1",
      [[y, sum(1 for o in orders if date(o["OrderDate"]).year == y)]
       for y in sorted({date(o["OrderDate"]).year for o in orders})])

# Refusals, with Jet's numbers.
for sql, number in [("SELECT Nada(1) FROM Products", "3085"),
                    ("SELECT Len(1, 2) FROM Products", "3075"),
                    ("SELECT 'a' - 1 FROM Products", "3464"),
                    ("SELECT COUNT(*) FROM Products WHERE ProductName + 1 > 2", "3464"),
                    ("SELECT UnitsInStock / 0 FROM Products", "11")]:
    got, err = run(sample, sql)
    if got is not None or ("error %s" % number not in (err or "") and "(%s)" % number not in (err or "")
                           and number not in (err or "")):
        failures += 1
        print("FAIL [refusals] %s: expected %s, got %s" % (sql, number, err))

# SUM of Currency adds exactly; past Currency's range it is Overflow (6).
from decimal import Decimal
work = tempfile.mkdtemp()
try:
    money_db = os.path.join(work, "dinero.mdb")
    amounts = ["900000000000.0001", "0.0001", "0.0001", "0.0001"]
    subprocess.run([jetsql, "--create", money_db, "CREATE TABLE dinero (importe CURRENCY)"] +
                   ["INSERT INTO dinero VALUES (%s)" % a for a in amounts], check=True)
    got, err = run(money_db, "SELECT SUM(importe), SUM(importe * 2) FROM dinero")
    want = sum(Decimal(a) for a in amounts)
    if got != [[str(want), str(2 * want)]]:
        failures += 1
        print("FAIL [currency] expected %s, got %s %s" % (want, got, err))
    subprocess.run([jetsql, money_db, "INSERT INTO dinero VALUES (922337203685477)"], check=True)
    got, err = run(money_db, "SELECT SUM(importe) FROM dinero")
    if got is not None or "Overflow" not in err:
        failures += 1
        print("FAIL [currency] overflow: got %s %s" % (got, err))
finally:
    shutil.rmtree(work)

# UPDATE with expressions, then the file read back by three readers.
work = tempfile.mkdtemp()
try:
    copy = os.path.join(work, "nwind.mdb")
    shutil.copy(sample, copy)
    sql = ("UPDATE Products SET UnitsInStock = UnitsInStock + 1, "
           "ProductName = Left(ProductName, 10) & '*', UnitPrice = UnitPrice * 2 WHERE CategoryID = 1")
    if subprocess.run([jetsql, copy, sql], capture_output=True).returncode != 0:
        failures += 1
        print("FAIL [update] " + sql)
    if subprocess.run([jetsql, copy, "--check"], capture_output=True).returncode != 0:
        failures += 1
        print("FAIL [update] --check")
    after = export(copy, "Products")
    for old, new in zip(products, after):
        want = dict(old)
        if old["CategoryID"] == "1":
            want["UnitsInStock"] = str(int(old["UnitsInStock"]) + 1)
            want["ProductName"] = old["ProductName"][:10] + "*"
            want["UnitPrice"] = money(2 * float(old["UnitPrice"]))
        if new != want:
            failures += 1
            print("FAIL [update] mdb-export: %s\n  expected %s" % (new, want))
            break
    if os.path.isdir(os.path.join(tools, "node_modules", "mdb-reader")) and shutil.which("node"):
        dump = subprocess.run(["node", os.path.join(tools, "dump.mjs"), copy],
                              capture_output=True, text=True)
        rows = dump.stdout.split("table Products\n", 1)[-1].split("table ", 1)[0].splitlines()
        # mdb-reader's rows (text as UTF-8 hex, currency as decimal text)
        # against the ones mdb-export read.
        theirs = [(f[1], f[5]) for f in (r.split("\t") for r in rows)]
        ours = [("S:" + a["ProductName"].encode().hex(), "C:" + a["UnitPrice"]) for a in after]
        if dump.returncode != 0 or theirs != ours:
            failures += 1
            print("FAIL [update] mdb-reader: %s %s" % (dump.stderr[:300], theirs[:3]))
    else:
        print("mdb-reader not installed (cd tests/tools && npm install): not compared")
finally:
    shutil.rmtree(work)

print("%d failures" % failures)
sys.exit(1 if failures else 0)
