#!/usr/bin/env bash
# Sets up the machine and runs the whole test suite twice: a normal build and
# one with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails).
# The two suites share the machine's cores; the whole run stays well under a
# quarter of an hour on two.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
# The mail servers of the tests need root (Dovecot changes user); as root a
# missing server fails the run instead of skipping the cases.
require_mail=0
[ "$(id -u)" = 0 ] && require_mail=1
passed=0
failed=0
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_BENCH=OFF "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  local status=0
  (cd "$dir" && EDI_REQUIRE_POSTGRES=1 EDI_REQUIRE_MAIL=$require_mail ctest --output-on-failure -j "$jobs") |
    tee "$dir/ctest.out" || status=$?
  local summary total bad
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$dir/ctest.out" | tail -n 1)
  bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  return "$status"
}

echo "== normal build"
run_suite build-test
echo "== sanitizer build"
run_suite build-asan -DEDI_SANITIZE=ON
# The seeds of every fuzz harness replay in both suites above. Live fuzzing
# takes minutes per harness and runs when asked: FUZZ_SECONDS=60 bash scripts/test.sh
if [ "${FUZZ_SECONDS:-0}" -gt 0 ]; then
  echo "== fuzzers"
  bash fuzz/run.sh
fi
echo "tests: $passed passed, $failed failed"
