#!/usr/bin/env bash
# Makes the shortcut samples in data/lnk with the real shell under Wine:
# make_shortcut.exe saves each file through IShellLinkW + IPersistFile and
# prints the target that the shell reads back from it, which goes into
# data/lnk/targets.tsv. The native tests hold our own reader against them.
#
# Usage: tests/ui/make_lnk_samples.sh [output-folder]   (needs wine, MinGW)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/data/lnk}
mkdir -p "$out"
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

i686-w64-mingw32-g++-posix -std=c++20 -O1 -static -o "$work/make_shortcut.exe" \
  "$here/make_shortcut.cpp" -lole32 -luuid -lshell32

# name <TAB> target as given to SetPath
cases=$'local\tC:\\zentaroDeck\\zentaroDeck.exe
lower\tc:\\zentaroDeck\\zentaroDeck.exe
other-drive\tD:\\zentaroDeck\\zentaroDeck.exe
network\t\\\\server\\share\\zentaroDeck\\zentaroDeck.exe
empty\t
spaces\tC:\\Program Files\\zentaro Deck\\zentaro Deck.exe
accent\tC:\\Música\\zentaroDeck.exe
root\tE:\\'

: > "$work/targets.tsv"
while IFS=$'\t' read -r name target; do
  host="$work/$name.lnk"
  shown=$(wine "$work/make_shortcut.exe" "$(winepath -w "$host")" "$target" | tr -d '\r')
  cp "$host" "$out/$name.lnk"
  printf '%s\t%s\n' "$name.lnk" "$shown" >> "$work/targets.tsv"
done <<< "$cases"
cp "$work/targets.tsv" "$out/targets.tsv"
echo "made $(wc -l < "$out/targets.tsv") samples in $out"
