#!/usr/bin/env bash
# Installs the Debian and npm packages that one of the project's commands
# needs, as root or through sudo. Safe to run again.
#
# Usage: scripts/install-deps.sh [demo|native|all]
#   demo    build the native programs and run the demo update
#   native  also build and run the native test suite
#   all     also build the Windows programs and run their tests under Wine,
#           the fuzz targets and the benchmarks (the default)
#
# A machine that already has every package never reaches the network: a
# package mirror in the middle of a sync cannot stop it. When something is
# missing, a failed index refresh is tried again and then left to the
# installation to judge; only packages that cannot be had stop the script,
# with one line naming them.
#
# APT_RETRY_PAUSE sets the seconds between refresh attempts (default 10).
set -euo pipefail
group=${1:-all}
root=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo

demo_packages="cmake make g++ pkg-config gcc-mingw-w64-i686 binutils-mingw-w64-i686"
native_packages="libgtest-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 mdbtools strace python3 locales ca-certificates"
all_packages="wine wine64 wine32:i386 xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev libbenchmark-dev"

case $group in
  demo) wanted=$demo_packages ;;
  native) wanted="$demo_packages $native_packages" ;;
  all) wanted="$demo_packages $native_packages $all_packages" ;;
  *) echo "usage: $0 [demo|native|all]" >&2; exit 2 ;;
esac
# Node.js for mdb-reader: the machine's own when it has one (Debian's npm
# package conflicts with Node.js distributions that bundle npm).
if [ "$group" != demo ] && { ! command -v node >/dev/null || ! command -v npm >/dev/null; }; then
  wanted="$wanted nodejs npm"
fi

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }

missing=""
for package in $wanted; do
  installed "$package" || missing="$missing $package"
done

refresh_index() {
  local attempt
  for attempt in 1 2 3; do
    $SUDO apt-get update -q && return 0
    [ "$attempt" = 3 ] || sleep "${APT_RETRY_PAUSE:-10}"
  done
  echo "install-deps: the package index could not be refreshed in 3 attempts; installing with what it has" >&2
  return 1
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
}

codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
# A suite whose index for one architecture could not be read (a security
# suite in mid-sync) offers newer amd64 versions whose i386 halves are
# unknown, and the two halves of a multi-arch library must match; the
# release's own suite has both, so its versions are the second choice.
install_with_fallback() {
  apt_install "$@" || { [ -n "$codename" ] && apt_install -t "$codename" "$@"; }
}

if [ -n "$missing" ]; then
  case $missing in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
  esac
  refresh_index || true
  # shellcheck disable=SC2086
  if ! install_with_fallback $missing; then
    # One at a time, so that what can be had is there for the steps that
    # need no more than that.
    for package in $missing; do
      installed "$package" || install_with_fallback "$package" || true
    done
  fi
  still=""
  for package in $missing; do installed "$package" || still="$still $package"; done
  if [ -n "$still" ]; then
    echo "install-deps: could not install:$still (the package mirror may be in the middle of a sync; try again later)" >&2
    exit 1
  fi
fi

[ "$group" = demo ] && exit 0

# A locale whose decimal separator is a comma, for the test that the
# manifest's numbers are read the same whatever the locale.
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(es_ES\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi

# mdb-reader, the second independent Access reader the tests compare with.
# npm's own cache serves it without the network once this machine has
# fetched it.
if [ ! -d "$root/tests/tools/node_modules/mdb-reader" ]; then
  cd "$root/tests/tools"
  if ! npm ci --offline --no-audit --no-fund --silent 2>/dev/null &&
     ! npm ci --no-audit --no-fund --silent; then
    echo "install-deps: could not install mdb-reader from npm (the registry may be unreachable)" >&2
    exit 1
  fi
fi
