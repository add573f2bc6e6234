#!/usr/bin/env bash
# Sets up the machine, builds the station, creates a fresh demo station on
# the embedded SQLite database (in /tmp/edi-demo, or EDI_DEMO_DIR) and runs
# its main job: every demo centre is received (TCP package stand-in, mail,
# operator file exchange, the JX stand-in server), converted, registered
# (translator stand-in) and backed up.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)"
station=${EDI_DEMO_DIR:-/tmp/edi-demo}
rm -rf "$station"
build-demo/apps/edi-station init "$station" --demo
bin="$station/system/bin"

echo "== centres of the station"
"$bin/edi-station" list "$station"

echo "== the receive run (the JX stand-in server serves DEMOJ01 meanwhile)"
"$bin/edi-jx-standin" serve "$station/jx" --port 47230 --user demo --password demo-password \
  >"$station/jx/standin.out" 2>&1 &
standin=$!
trap 'kill "$standin" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -s "$station/jx/port" ] && break; sleep 0.1; done
status=0
"$bin/edi-receive" --all || status=$?
kill "$standin" 2>/dev/null || true
wait "$standin" 2>/dev/null || true

echo "== what happened"
"$bin/edi-station" history "$station"
echo "== files: $station/in (inbound), $station/old (backup), converter log $bin/ERR.LOG"
echo "== the operator window: $bin/edi-monitor OP01 (on a desktop; bash scripts/screenshots.sh takes its pictures)"
exit "$status"
