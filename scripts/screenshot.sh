#!/usr/bin/env bash
# Takes a picture of the window frmPrincipal as the operator sees it: the
# Windows build's actualizador.exe under Wine, in a virtual display, started
# from a folder with folder.jpg and with the product's start-up shortcut in
# place, so that the drive list shows the discovered drive.
#
# Usage: scripts/screenshot.sh [out.png]   (default docs/actualizador.png)
# Needs the Windows build (build/win32), wine, Xvfb, xdotool, ImageMagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/actualizador.png}
exe=$root/build/win32/ui/window/actualizador.exe
[ -f "$exe" ] || { echo "build the Windows program first (build/win32)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
[ -f "$WINEPREFIX/system.reg" ] || { WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1; wineserver -w; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 9))
cleanup() {
  # The focus is on "Salir": a space ends the program.
  [ -n "${window:-}" ] && xdotool key --window "$window" space 2>/dev/null || true
  [ -n "${app_pid:-}" ] && { sleep 1; kill "$app_pid" 2>/dev/null || true; }
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$startup/zentaroDeck.lnk" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
sleep 1
# Without a window manager, Wine draws the title bar itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

cp "$exe" "$work/actualizador.exe"
cp "$root/tests/ui/data/folder.jpg" "$work/folder.jpg"
startup=""
startup=$(winepath -u "$(wine cmd /c echo '%APPDATA%' | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs/StartUp
mkdir -p "$startup"
cp "$root/tests/ui/data/lnk/local.lnk" "$startup/zentaroDeck.lnk"

(cd "$work" && exec wine actualizador.exe) >/dev/null 2>&1 &
app_pid=$!
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^Actualizador$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "${window:-}" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "$out"
