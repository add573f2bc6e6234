#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a clean
# root, runs every program there, sets up a station with the unpacked
# edi-station and runs it, and checks that lintian reports no error.
set -euo pipefail
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/edi-station_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no edi-station_<version>_amd64.deb in $(ls "$work/out")"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "edi-station_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libsoci-core libcurl libxml2 python3; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

dpkg -x "$deb" "$work/root"
bin="$work/root/opt/edi-station/system/bin"
for program in edi-station edi-monitor edi-receive cii-tool z_tcp-standin edi-translator-standin edi-jx-standin; do
  out=$("$bin/$program" --version) || fail "$program --version failed"
  [ "$out" = "$program $version" ] || fail "$program --version printed \"$out\", not \"$program $version\""
  [ -f "$work/root/usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
for unit in edi-receive@.service edi-receive@.timer; do
  [ -f "$work/root/lib/systemd/system/$unit" ] || fail "no systemd unit $unit"
done

# The unpacked programs set up a station of their own and run it.
"$bin/edi-station" init "$work/station" --demo >/dev/null || fail "edi-station init from the package failed"
"$work/station/system/bin/edi-receive" --centre DEMOW01 >"$work/run.log" 2>&1 || { cat "$work/run.log"; fail "the run failed"; }

lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
if grep -q '^E:' "$work/lintian.log"; then
  cat "$work/lintian.log"
  fail "lintian reports errors"
fi
echo "package_test: $(basename "$deb") passed; lintian: $(grep -c '^[WI]:' "$work/lintian.log" || true) warnings and notes"
