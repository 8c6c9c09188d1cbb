#!/usr/bin/env bash
# What the run command builds and installs: the product alone (no test, no
# benchmark), as a Debian package under /usr that depends on the runtime
# packages of scripts/packages.txt and holds the polkit action naming the
# installed main program, the menu entry and its icon, and nothing dpkg
# would keep after a removal (conffiles, a postrm).
#
#   package.sh <source dir> <build dir> <package.deb>
set -uo pipefail
src=$1 build=$2 deb=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Checks read a variable through a here-string: under pipefail, grep -q leaving
# a long pipe early would fail the check.

# Setup for a user without sudo (a Debian installed with a root password):
# it says what to run as root and ends non-zero. Tried as nobody, with a
# package list naming one missing package.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
  dir=$(mktemp -d)
  cp "$src/scripts/setup" "$dir/setup"
  printf 'coreutils\ntv-not-a-package\n' >"$dir/packages.txt"
  chmod -R a+rX "$dir"
  # Where sudo is there, nobody may not use it: the same sentence follows.
  said=$(setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash "$dir/setup" </dev/null 2>&1)
  status=$?
  rm -rf "$dir"
  [ "$status" -ne 0 ] || fail "setup without sudo ended with status $status"
  grep -q 'as root (su -), run: apt-get install tv-not-a-package' <<<"$said" ||
    fail "setup without sudo did not say what to run: $said"
fi

if [ -f "$build/build.ninja" ] && command -v ninja >/dev/null 2>&1; then
  # Every command the package needs, from nothing.
  commands=$(ninja -C "$build" -t commands deb)
  grep -q 'brisklaunch' <<<"$commands" || fail "the package does not build brisklaunch"
  stray=$(echo "$commands" | grep -oE '(tests|bench)/[^ ]*\.(cpp|c)\.o' | head -3)
  [ -z "$stray" ] || fail "the package builds tests or benchmarks: $stray"
else
  echo "no Ninja build in $build: what the package builds is not checked"
fi

if [ ! -f "$deb" ]; then
  echo "SKIP: no package at '$deb' (scripts/run and CI build it: cmake --build build --target deb)"
  exit $((failures > 0 ? 1 : 77))
fi
depends=$(dpkg-deb -f "$deb" Depends)
runtime=$(awk '/^#[ \t]*(build|runtime|tests)/ {s=$2} !/^#/ && NF && s ~ /^runtime/ {print $1}' "$src/scripts/packages.txt")
[ -n "$runtime" ] || fail "no runtime packages read from scripts/packages.txt"
for p in $runtime; do
  grep -qE "(^|, )$p(,| |$)" <<<"$depends" || fail "the package does not depend on $p"
done
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on the Qt libraries it links"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/brisklaunch ./usr/libexec/tarnwick-vantoly/tarnwick-vantoly ./usr/libexec/tarnwick-vantoly/srm \
         ./usr/libexec/tarnwick-vantoly/diskutil ./usr/share/tarnwick-vantoly/VantolyBase.plist \
         ./usr/share/polkit-1/actions/com.tarnwick.vantoly.policy ./usr/share/applications/tarnwick-vantoly.desktop \
         ./usr/share/icons/hicolor/scalable/apps/tarnwick-vantoly.svg; do
  grep -qx "$f" <<<"$files" || fail "the package lacks $f"
done
outside=$(echo "$files" | grep -vE '^\./usr(/|$)' | grep -v '^\./$' | head -3)
[ -z "$outside" ] || fail "the package holds files outside /usr: $outside"
policy=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/polkit-1/actions/com.tarnwick.vantoly.policy)
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/tarnwick-vantoly/tarnwick-vantoly</annotate>' <<<"$policy" ||
  fail "the policy does not name the installed main program"
grep -q '<annotate key="org.freedesktop.policykit.exec.allow_gui">true</annotate>' <<<"$policy" || fail "the policy has no allow_gui"
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/tarnwick-vantoly.desktop)
grep -qx 'Exec=brisklaunch' <<<"$entry" || fail "the menu entry does not start brisklaunch"
grep -qx 'Icon=tarnwick-vantoly' <<<"$entry" || fail "the menu entry does not name its icon"
control=$(dpkg-deb -I "$deb")
grep -qE '^ +[0-9]+ bytes, +[0-9]+ lines +(\*)? *(conffiles|postrm) ' <<<"$control" && fail "dpkg would keep a record after removal"

[ "$failures" -eq 0 ] && echo "package: all held"
[ "$failures" -eq 0 ]
