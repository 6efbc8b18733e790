#!/usr/bin/env bash
# The set-up on a machine whose package mirror is in mid-sync: apt-get,
# dpkg, npm and the rest are stand-ins first on the PATH, which keep the
# "installed" packages in a folder and write every call down.
#   - with every package there, nothing reaches the network at all;
#   - a failing index refresh is tried again and never stops the set-up;
#   - the release's own versions are the second choice of an install;
#   - what cannot be had is named on one line, after the rest is installed.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/bin" "$work/root/scripts" "$work/root/tests/tools"
cp "$script" "$work/root/scripts/install-deps.sh"

# dpkg-query: a package is installed unless listed in $MISSING and not yet
# installed by the stand-in apt-get.
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
p=${!#}
case " $MISSING " in *" $p "*) [ -e "$STATE/installed/$p" ] || exit 1 ;; esac
echo installed
SH
# apt-get: "update" fails while $UPDATE_FAILS; "install" installs all or
# nothing, refusing $UNAVAILABLE always and $RELEASE_ONLY without -t.
cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
[ "$1" = update ] && { [ "${UPDATE_FAILS:-0}" = 1 ] && { echo "E: Mirror sync in progress?" >&2; exit 100; }; exit 0; }
shift; release=0; packages=()
while [ $# -gt 0 ]; do
  case $1 in -t) release=1; shift ;; -*) ;; *) packages+=("$1") ;; esac
  shift
done
for p in "${packages[@]}"; do
  case " ${UNAVAILABLE:-} " in *" $p "*) exit 100 ;; esac
  [ "$release" = 1 ] || case " ${RELEASE_ONLY:-} " in *" $p "*) exit 100 ;; esac
done
for p in "${packages[@]}"; do touch "$STATE/installed/$p"; done
SH
cat >"$work/bin/npm" <<'SH'
#!/usr/bin/env bash
echo "npm $*" >>"$STATE/calls"
case " $* " in *" --offline "*) [ "${NPM_CACHED:-0}" = 1 ] || exit 1 ;; esac
mkdir -p node_modules/mdb-reader
SH
printf '#!/bin/sh\necho "dpkg $*" >>"$STATE/calls"; echo i386\n' >"$work/bin/dpkg"
printf '#!/bin/sh\necho es_ES.utf8\n' >"$work/bin/locale"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/node"
chmod +x "$work/bin/"*

# run NAME GROUP VAR=value...: runs the set-up in a fresh state.
run() {
  local name=$1 group=$2
  shift 2
  export STATE=$work/state-$name
  rm -rf "$STATE" "$work/root/tests/tools/node_modules"
  mkdir -p "$STATE/installed"
  : >"$STATE/calls"
  set +e
  env PATH="$work/bin:$PATH" APT_RETRY_PAUSE=0 MISSING= "$@" \
    bash "$work/root/scripts/install-deps.sh" "$group" >"$STATE/out" 2>"$STATE/err"
  status=$?
  set -e
}
calls() { grep -c "^$1" "$STATE/calls" || true; }

# Everything there, mdb-reader in npm's cache: no call reaches a registry.
run present all UPDATE_FAILS=1 NPM_CACHED=1
[ "$status" = 0 ] || fail "present: status $status: $(cat "$STATE/err")"
[ "$(calls 'apt-get')" = 0 ] || fail "present: apt-get was called: $(cat "$STATE/calls")"
[ "$(grep -c -- '--offline' "$STATE/calls")" = "$(calls npm)" ] || fail "present: npm went online"

# The demo needs none of the test tools: their absence costs no network.
run demo demo UPDATE_FAILS=1 MISSING="wine32:i386 mdbtools clang"
[ "$status" = 0 ] && [ "$(calls 'apt-get')" = 0 ] || fail "demo: status $status, calls: $(cat "$STATE/calls")"

# The index cannot be refreshed; the install still goes ahead, and the
# i386 half comes from the release's own suite.
run midsync all UPDATE_FAILS=1 MISSING="mdbtools wine32:i386" RELEASE_ONLY="wine32:i386"
[ "$status" = 0 ] || fail "midsync: status $status: $(cat "$STATE/err")"
[ "$(calls 'apt-get update')" = 3 ] || fail "midsync: $(calls 'apt-get update') refresh attempts, not 3"
[ -e "$STATE/installed/wine32:i386" ] && [ -e "$STATE/installed/mdbtools" ] || fail "midsync: not installed"

# A package nobody can have: the others are installed, it is named once.
run unavailable all UPDATE_FAILS=1 MISSING="mdbtools wine32:i386" UNAVAILABLE="wine32:i386"
[ "$status" != 0 ] || fail "unavailable: status 0"
[ -e "$STATE/installed/mdbtools" ] || fail "unavailable: mdbtools was not installed on its own"
[ "$(grep -c 'could not install: wine32:i386 (the package mirror may be' "$STATE/err")" = 1 ] ||
  fail "unavailable: message: $(cat "$STATE/err")"

[ "$failures" = 0 ] && echo "install-deps: all cases hold"
exit $((failures > 0))
