#!/usr/bin/env bash
# Sets up the machine and runs the whole test suite on a normal build, then
# the unit tests of the parsers and converters (label "sanitize": CII, XML,
# local records, the TCP package's files, mail, JX responses, with every fuzz
# seed) again on a build of those libraries with AddressSanitizer and
# UndefinedBehaviorSanitizer (any report fails). The whole run stays under a
# quarter of an hour on two cores.
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
# run_suite DIR TARGET CTEST-ARGS -- CMAKE-ARGS
run_suite() {
  local dir=$1 target=$2 ctest_args=() cmake_args=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do ctest_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  cmake_args=("$@")
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_BENCH=OFF "${cmake_args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" --target "$target"
  local status=0
  (cd "$dir" && EDI_REQUIRE_POSTGRES=1 EDI_REQUIRE_MAIL=$require_mail \
     ctest --output-on-failure -j "$jobs" "${ctest_args[@]}") |
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
run_suite build-test all
echo "== sanitizer build"
run_suite build-asan sanitize-suite -L sanitize -- -DEDI_SANITIZE=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
# The seeds of every fuzz harness replay in both suites above. Live fuzzing
# takes minutes per harness and runs when asked: FUZZ_SECONDS=60 bash scripts/test.sh
if [ "${FUZZ_SECONDS:-0}" -gt 0 ]; then
  echo "== fuzzers"
  bash fuzz/run.sh
fi
echo "tests: $passed passed, $failed failed"
