#!/usr/bin/env bash
# Shows one update end to end without Windows: builds a sample drive c: with
# an installed zentaroDeck 2.0.0.0 and an update disc e: holding the package
# zentaroDeck_NEW 3.0.0.0, in a temporary Wine-style prefix, then runs the
# native actualizador-cli on it and prints the drive before and after, the
# program's output and the settings it carried over.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/native; KEEP=1 keeps
#        the temporary folder)
# Needs: a native build (build/native, made here when missing), the MinGW
# resource compiler and C compiler for the sample executables, iconv.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD_DIR:-$root/build/native}}
case $build in /*) ;; *) build=$PWD/$build ;; esac
cli=$build/ui/cli/actualizador-cli
if [ ! -x "$cli" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target actualizador-cli >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/actualizador-demo-XXXXXX")
cleanup() { [ "${KEEP:-0}" = 1 ] && echo "(kept $work)" || { chmod -R u+w "$work"; rm -rf "$work"; }; }
trap cleanup EXIT

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

# A real Access 97 database when the shared samples are at hand (the
# database carry-over is not built yet, so its content is only moved).
database() {
  local sample=$root/../shared/jet/jet3/testV1997.mdb
  if [ -f "$sample" ]; then cp "$sample" "$1"; else printf 'base de datos\n' >"$1"; fi
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
database "$c/zentaroDeck/datos.mdb"
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
BDminimo=
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
database "$p/datos.new"
printf 'piel clasica\n' >"$p/skins/clasico/fondo.bmp"

tree_of() { (cd "$1" && find . -mindepth 1 | sort | sed 's|^\./|    |'); }

echo "== Drive c: before the update"
tree_of "$c"
echo
echo "== Update disc e: (the updater's folder is its root)"
tree_of "$e"
echo
echo "== actualizador-cli --drive c: --origin <disc root>"
status=0
output=$("$cli" --prefix "$prefix" --drive c: --origin "$e" 2>&1) || status=$?
echo "$output" | sed 's/^/    /'
echo "    (exit status $status)"
echo
echo "== Drive c: after the update"
tree_of "$c"
echo
echo "== c:\\zentaroDeck\\configuracion.ini (listed keys carried, others as packaged)"
show_ini "$c/zentaroDeck/configuracion.ini"
echo "== c:\\zentaroDeck\\supersearch\\settings.ini"
show_ini "$c/zentaroDeck/supersearch/settings.ini"
echo
echo "== The same update again: refused"
again=0
output=$("$cli" --prefix "$prefix" --drive c: --origin "$e" 2>&1) || again=$?
echo "$output" | sed 's/^/    /'
echo "    (exit status $again: 2 means refused)"
[ "$status" = 0 ]
