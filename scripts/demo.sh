#!/usr/bin/env bash
# Sets up the machine, builds the station, creates a demo station on the
# embedded SQLite database and runs it: the centre list as the window shows
# it, then the demo orders through the converters (local records -> CII ->
# XML -> CII -> local records) with the result checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)"
station=${EDI_DEMO_DIR:-/tmp/edi-demo}
build-demo/apps/edi-station init "$station" --demo
bin="$station/system/bin"

echo "== centres of the station"
"$bin/edi-station" list "$station"

echo "== demo orders through the converters"
cd "$station"
rm -f out/DEMO.CII in/DEMO*.LOC in/DEMO.xml in/BACK*
"$bin/cii-tool" from-local --in out/DEMO_ORDERS.LOC --out out/DEMO.CII --transfer 1
"$bin/cii-tool" to-xml --in out/DEMO.CII --out in/DEMO.xml --transfer 1
"$bin/cii-tool" from-xml --in in/DEMO.xml --out in/BACK.CII --transfer 1
"$bin/cii-tool" to-local --in in/BACK.CII --out in/BACK.LOC --transfer 1
"$bin/cii-tool" dump out/DEMO.CII --db "sqlite:$station/data/edi.sqlite" | sed -n "1,48p"
if cmp -s out/DEMO_ORDERS.LOC in/BACK0101.LOC; then
  echo "== the orders came back unchanged: $station/in/BACK0101.LOC"
else
  echo "== the orders came back changed" >&2
  exit 1
fi
echo "converter log: $bin/ERR.LOG"
