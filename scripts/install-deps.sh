#!/usr/bin/env bash
# Installs every Debian package the station needs to build, run and test.
# Idempotent and non-interactive; run as root on Debian 12. Two optional
# groups are installed only when named: "screenshots" (a real X server and
# the tools that drive and capture the window) and "fuzz" (clang and its
# fuzzing runtime): bash scripts/install-deps.sh screenshots fuzz
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  # build and tests
  cmake g++ make pkg-config libgtest-dev libgmock-dev
  # database access: SOCI over SQLite and ODBC
  libsoci-dev libsoci-sqlite3-4.0 libsoci-odbc4.0 libboost-dev
  libsqlite3-dev sqlite3
  # real server database for the tests, reached through ODBC
  unixodbc unixodbc-dev odbc-postgresql postgresql
  # XML, character sets, mail, content hashes
  libxml2-dev libxml2-utils libicu-dev libvmime-dev libssl-dev
  # HTTPS of the JX transfer method
  libcurl4-openssl-dev
  # archives of old backups
  libarchive-dev
  # mail servers used by the mail tests
  dovecot-imapd dovecot-pop3d python3-aiosmtpd openssl ca-certificates
  # the metrics file read back by a Prometheus parser in the tests
  python3-prometheus-client
  # operator windows
  qt6-base-dev qt6-translations-l10n fonts-noto-cjk
  # the Debian package: dependencies, manual pages, checks
  dpkg-dev file help2man lintian
  # benchmark baselines and measurement
  libc-bin time bc
)
for group in "$@"; do
  case "$group" in
    screenshots) packages+=(xvfb xauth xdotool imagemagick) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) echo "install-deps: unknown group $group (screenshots, fuzz)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -q
  # Services pulled in as dependencies (PostgreSQL, Dovecot) must not start
  # system instances: the tests start their own on loopback.
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
  chmod +x /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
