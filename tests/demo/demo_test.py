#!/usr/bin/env python3
"""Runs scripts/demo.sh in a temporary folder and holds its result to what the
demo's data implies. The expectations are worked out here from the demo's
input databases, read with mdb-export (mdbtools), never from what the updater
or jetsql print.

Usage: demo_test.py SOURCE_DIR BUILD_DIR
"""
import collections
import configparser
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile

# The key each data table refuses duplicates of, as the demo's schema has it.
KEYS = {
    "informacion_cd": ["codigo"],
    "canciones": ["id"],
    "generos": ["id"],
    "genero_album": ["id_genero", "album"],
    "publicidad": ["id"],
    "dinero": ["id"],
}
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def rows(database, table):
    text = subprocess.run(["mdb-export", database, table], check=True,
                          capture_output=True, text=True).stdout
    return list(csv.DictReader(io.StringIO(text)))


def appended(package, installed, key):
    """The staged table after the installed rows are appended to it: an
    installed row whose key the table already holds is left out."""
    result = list(package)
    seen = {tuple(r[k] for k in key) for r in package}
    for r in installed:
        k = tuple(r[c] for c in key)
        if k not in seen:
            seen.add(k)
            result.append(r)
    return result


def carried_settings(package, installed):
    """configuracion after the carry-over: a staged value that is not empty
    takes the first installed row's value of the same element; the database
    version rows keep the staged values."""
    first = {}
    for r in installed:
        first.setdefault(r["elemento"].lower(), r)
    result = {}
    for r in package:
        row = dict(r)
        source = first.get(r["elemento"].lower())
        if source and r["elemento"] not in ("versionBD", "VersionCLI"):
            for column in ("valor_s", "valor"):
                if r[column] != "":
                    row[column] = source[column]
        result[r["elemento"]] = row
    return result


def ini(path):
    parser = configparser.ConfigParser(interpolation=None)
    with open(path, encoding="cp1252") as f:
        parser.read_file(f)
    return parser


def main(source, build):
    work = tempfile.mkdtemp(prefix="demo-test-")
    try:
        env = dict(os.environ, DEMO_DIR=os.path.join(work, "demo"))
        run = subprocess.run(["bash", os.path.join(source, "scripts", "demo.sh"), build],
                             env=env, capture_output=True, text=True)
        print(run.stdout, run.stderr, sep="\n")
        check(run.returncode == 0, "demo.sh exits 0")
        check("Fin De La actualización" in run.stdout, "the update completes")
        check("Advertencia!: La Versión Ya Esta Actualizada" in run.stdout.split("The same update again")[-1],
              "the repeat is refused as already done")
        check("(exit status 2" in run.stdout, "the repeat exits with status 2")

        c = os.path.join(env["DEMO_DIR"], "prefix", "drive_c")
        package_dir = os.path.join(env["DEMO_DIR"], "prefix", "drive_e", "zentaroDeck_NEW")
        backup = os.path.join(c, "SOPORTE", "zentaroDeck_2.0.0.0")
        installed_db = os.path.join(backup, "datos.mdb")
        package_db = os.path.join(package_dir, "datos.new")
        after_db = os.path.join(c, "zentaroDeck", "datos.mdb")
        check(not os.path.exists(os.path.join(c, "zentaroDeck_NEW")), "no staging folder is left")
        check(sorted(os.listdir(os.path.join(c, "SOPORTE"))) == ["zentaroDeck_2.0.0.0"],
              "the old installation is kept as SOPORTE\\zentaroDeck_2.0.0.0")
        if failures:
            return

        for table, key in KEYS.items():
            installed, package = rows(installed_db, table), rows(package_db, table)
            check(len(installed) > 0, f"the demo's installed {table} has rows")
            expected = appended(package, installed, key)
            after = rows(after_db, table)
            as_bag = lambda rs: collections.Counter(tuple(sorted(r.items())) for r in rs)
            check(as_bag(after) == as_bag(expected),
                  f"{table}: {len(after)} rows after the update, {len(expected)} expected")

        settings = carried_settings(rows(package_db, "configuracion"), rows(installed_db, "configuracion"))
        after = {r["elemento"]: r for r in rows(after_db, "configuracion")}
        check(after == settings, f"configuracion carried: {after} != {settings}")
        check(any("'" in r["valor_s"] for r in after.values()), "an apostrophe is carried")

        # Listed INI keys come from the installation, the rest as packaged.
        old, packaged = ini(os.path.join(backup, "configuracion.ini")), ini(os.path.join(package_dir, "configuracion.ini"))
        new = ini(os.path.join(c, "zentaroDeck", "configuracion.ini"))
        manifest = ini(os.path.join(package_dir, "actualizador.ini"))
        for n in range(1, int(manifest["SECCIONES"]["secciones"]) + 1):
            section = manifest["SECCIONES"][f"seccion_{n}"]
            for m in range(1, int(manifest["SECCIONES"][f"seccion_maximo_{n}"]) + 1):
                key = manifest[section][f"parametro_{m}"]
                check(new[section][key] == old[section][key], f"[{section}] {key} carried")
        check(new["Privado"]["serie"] == packaged["Privado"]["serie"], "an unlisted key stays as packaged")
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
    for f in failures:
        print("FAILED:", f, file=sys.stderr)
    sys.exit(1 if failures else 0)
