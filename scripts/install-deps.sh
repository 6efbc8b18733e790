#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine (as root,
# or with sudo available). Safe to run again.
set -euo pipefail
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
[ "$need_i386" = 1 ] && $SUDO dpkg --add-architecture i386

$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
  cmake make g++ pkg-config git ca-certificates \
  libgtest-dev googletest libbenchmark-dev \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick \
  mdbtools clang libclang-rt-14-dev strace python3 locales

# A locale whose decimal separator is a comma, for the test that the
# manifest's numbers are read the same whatever the locale.
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(es_ES\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi

# Node.js for mdb-reader: the machine's own when it has one (Debian's npm
# package conflicts with Node.js distributions that bundle npm).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nodejs npm
fi

# mdb-reader, the second independent Access reader the tests compare with.
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -d "$root/tests/tools/node_modules/mdb-reader" ]; then
  (cd "$root/tests/tools" && npm install --no-audit --no-fund --silent)
fi
