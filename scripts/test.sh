#!/usr/bin/env bash
# Sets up the machine and runs the whole test suite twice: a normal build and
# one with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && EDI_REQUIRE_POSTGRES=1 ctest --output-on-failure -j "$jobs")
}

echo "== normal build"
run_suite build-test
echo "== sanitizer build"
run_suite build-asan -DEDI_SANITIZE=ON
if [ -x fuzz/run.sh ]; then
  echo "== fuzzers"
  bash fuzz/run.sh
fi
