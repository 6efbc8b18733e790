#!/usr/bin/env bash
# Shows one update end to end without Windows. It builds a sample drive c:
# with an installed zentaroDeck 2.0.0.0 (a bar's database of a few thousand
# songs, its settings, skins and photos) and an update disc e: holding the
# package zentaroDeck_NEW 3.0.0.0, in a temporary Wine-style prefix. Then it
# runs the native actualizador-cli on it, shows with jetsql what the update did
# to the database, the settings and the backup, and runs the same update again,
# which is refused.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/native)
#   KEEP=1 keeps the temporary folder; DEMO_DIR=folder works in that (empty or
#   missing) folder instead and keeps it.
# Needs: a native build (made here when missing), the MinGW resource compiler
# and C compiler for the sample executables, iconv.
# Exit status: 0 when the update completed and its repeat was refused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD_DIR:-$root/build/native}}
case $build in /*) ;; *) build=$PWD/$build ;; esac
cli=$build/ui/cli/actualizador-cli
jetsql=$build/tools/jetsql/jetsql
if [ ! -x "$cli" ] || [ ! -x "$jetsql" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target actualizador-cli jetsql >/dev/null
fi

if [ -n "${DEMO_DIR:-}" ]; then
  mkdir -p "$DEMO_DIR"
  work=$(cd "$DEMO_DIR" && pwd)
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/actualizador-demo-XXXXXX")
  cleanup() { [ "${KEEP:-0}" = 1 ] && echo "(kept $work)" || { chmod -R u+w "$work"; rm -rf "$work"; }; }
  trap cleanup EXIT
fi

prefix=$work/prefix
mkdir -p "$prefix/dosdevices" "$prefix/drive_c" "$prefix/drive_e"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s ../drive_e "$prefix/dosdevices/e:"
c=$prefix/drive_c
e=$prefix/drive_e

# A stand-in zentaroDeck.exe whose version record the resource compiler makes.
make_exe() {  # version output
  local v=$1 out=$2 commas=${1//./,}
  cat >"$work/v.rc" <<RC
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
FILEVERSION $commas
PRODUCTVERSION $commas
FILETYPE VFT_APP
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "0C0A04E4"
    BEGIN
      VALUE "ProductName", "zentaroDeck\\0"
      VALUE "FileVersion", "$v\\0"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x0C0A, 1252
  END
END
RC
  echo 'int main(void) { return 0; }' >"$work/main.c"
  i686-w64-mingw32-windres "$work/v.rc" -O coff -o "$work/v.o"
  i686-w64-mingw32-gcc -s -o "$out" "$work/main.c" "$work/v.o"
}

# Profile files are Windows-1252 with CRLF lines, as the product writes them.
ini() { mkdir -p "$(dirname "$1")"; iconv -f UTF-8 -t CP1252 | sed 's/$/\r/' >"$1"; }
show_ini() { iconv -f CP1252 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'; }

# The two databases, made by our own jetsql from the demo's SQL.
database() {  # installed|package file
  bash "$root/scripts/demo_databases.sh" "$1" | "$jetsql" --create "$2" >/dev/null
}

# --- the installed product on c: -----------------------------------------
mkdir -p "$c/zentaroDeck/skins/azul" "$c/zentaroDeck/fotos"
make_exe 2.0.0.0 "$c/zentaroDeck/zentaroDeck.exe"
ini "$c/zentaroDeck/configuracion.ini" <<'INI'
[General]
volumen=80
idioma=español
carpeta_musica=d:\Música\Éxitos
[Local]
nombre=Bar La Peña
moneda=€
[Privado]
serie=ZD-1234
INI
ini "$c/zentaroDeck/supersearch/settings.ini" <<'INI'
[Busqueda]
modo=rápido
resultados=50
INI
database installed "$c/zentaroDeck/datos.mdb"
printf 'fondo azul\n' >"$c/zentaroDeck/skins/azul/fondo.bmp"
printf 'logo del bar\n' >"$c/zentaroDeck/fotos/logo.jpg"
printf 'foto de la barra\n' >"$c/zentaroDeck/fotos/barra.jpg"

# --- the update disc e: with the package ---------------------------------
p=$e/zentaroDeck_NEW
mkdir -p "$p/skins/clasico" "$p/supersearch"
make_exe 3.0.0.0 "$p/zentaroDeck.exe"
ini "$p/actualizador.ini" <<'INI'
[VERSIONES]
minimo=1.5.0.0
BDminimo=1.5.0.0
[SECCIONES]
secciones=2
seccion_1=General
seccion_maximo_1=3
seccion_2=Local
seccion_maximo_2=2
[General]
parametro_1=volumen
parametro_2=idioma
parametro_3=carpeta_musica
[Local]
parametro_1=nombre
parametro_2=moneda
[COPIA_CARPETAS]
carpetas=2
carpeta_orig_1=\zentaroDeck\skins
carpeta_dest_1=\zentaroDeck_NEW\skins
carpeta_orig_2=\zentaroDeck\fotos
carpeta_dest_2=\zentaroDeck_NEW\fotos
[COPIA_ARCHIVOS]
archivos=0
INI
ini "$p/update_ss.ini" <<'INI'
[SECCIONES_SS]
secciones=1
seccion_1=Busqueda
seccion_maximo_1=1
[Busqueda]
parametro_1=modo
INI
ini "$p/configuracion.ini" <<'INI'
[General]
volumen=50
idioma=
carpeta_musica=c:\musica
ecualizador=plano
[Privado]
serie=ZD-0000
INI
ini "$p/supersearch/settings.ini" <<'INI'
[Busqueda]
modo=normal
resultados=100
INI
database package "$p/datos.new"
printf 'piel clasica\n' >"$p/skins/clasico/fondo.bmp"

# --- what the demo shows ---------------------------------------------------
rows() {  # database table: the number of rows, counted by jetsql
  "$jetsql" "$1" "SELECT COUNT(*) FROM $2" | sed -n 2p
}
tables="configuracion informacion_cd canciones generos genero_album publicidad dinero"
declare -A before_installed before_package
for t in $tables; do
  before_installed[$t]=$(rows "$c/zentaroDeck/datos.mdb" "$t")
  before_package[$t]=$(rows "$p/datos.new" "$t")
done
setting() {  # database elemento: its valor_s and valor as jetsql prints them
  "$jetsql" "$1" "SELECT valor_s, valor FROM configuracion WHERE elemento = '$2'" | sed -n 2p
}
carried="nombre_local mensaje_bienvenida volumen tema ultima_recaudacion versionBD"

echo "== c:\\zentaroDeck 2.0.0.0 is installed; the disc e: holds zentaroDeck_NEW 3.0.0.0"
echo
echo "== actualizador-cli --drive c: --origin <disc e:>"
status=0
"$cli" --prefix "$prefix" --drive c: --origin "$e" >"$work/run.out" 2>&1 || status=$?
sed 's/^/    /' "$work/run.out"
echo "    (exit status $status)"
[ "$status" = 0 ] || exit 1

new=$c/zentaroDeck/datos.mdb
backup=$c/SOPORTE/zentaroDeck_2.0.0.0
echo
echo "== Rows per table (jetsql)  installed  packaged     after"
for t in $tables; do
  printf '    %-24s %9s %9s %9s\n' "$t" "${before_installed[$t]}" "${before_package[$t]}" "$(rows "$new" "$t")"
done
echo
echo "== configuracion (valor_s,valor): installed | packaged | after"
for k in $carried; do
  printf '    %-19s %s | %s | %s\n' "$k" "$(setting "$backup/datos.mdb" "$k")" \
    "$(setting "$p/datos.new" "$k")" "$(setting "$new" "$k")"
done
echo
echo "== c:\\zentaroDeck\\configuracion.ini: the listed keys carried, the rest as packaged"
show_ini "$c/zentaroDeck/configuracion.ini" |
  awk '/^ *\[/ { if (line) print line; line = $0; next } { sub(/^ +/, ""); line = line " " $0 } END { print line }'
echo
echo "== c:\\SOPORTE (the old installation, kept whole)"
(cd "$c/SOPORTE" && for d in *; do echo "    $d: $(ls "$d" | paste -sd' ')"; done)
echo
echo "== The same update again"
again=0
"$cli" --prefix "$prefix" --drive c: --origin "$e" >"$work/again.out" 2>&1 || again=$?
sed 's/^/    /' "$work/again.out"
echo "    (exit status $again: 2 means refused)"
[ "$again" = 2 ]
