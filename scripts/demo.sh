#!/usr/bin/env bash
# Sets up the machine, builds the station, creates a demo station on the
# embedded SQLite database with the stand-in programs and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
station=${EDI_DEMO_DIR:-/tmp/edi-demo}
build/apps/edi-station init "$station" --demo
"$station/system/bin/edi-station" list "$station"
