#!/bin/sh
# Runs a Windows test program under Wine with three temporary drives mapped
# into the Wine prefix, named to the program in ACT_TEST_DRIVES ("m:,n:,o:").
# A drive letter is claimed by creating its dosdevices link, which fails when
# another run holds the letter, so parallel runs do not share drives.
# Usage: with_drives.sh wine program.exe [arguments]
set -u
prefix=${WINEPREFIX:-$HOME/.wine}
[ -d "$prefix/dosdevices" ] || wineboot -i >/dev/null 2>&1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/act-drives-XXXXXX")
claimed=""
drives=""
for letter in m n o p q r s t u v w x y; do
  [ "$(echo "$claimed" | wc -w)" -ge 3 ] && break
  mkdir "$tmp/$letter"
  if ln -sT "$tmp/$letter" "$prefix/dosdevices/$letter:" 2>/dev/null; then
    claimed="$claimed $letter"
    drives="$drives${drives:+,}$letter:"
  fi
done
cleanup() {
  for letter in $claimed; do rm -f "$prefix/dosdevices/$letter:"; done
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT INT TERM
ACT_TEST_DRIVES=$drives "$@"
