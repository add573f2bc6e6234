#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each in turn for a
# bounded time (FUZZ_SECONDS, default 60): all of them, or the ones named as
# arguments (bash fuzz/run.sh local_cii_fuzz xml_fuzz). A harness that finds
# something (a crash, a broken invariant, a sanitizer report, a leak, a
# timeout, running out of memory) leaves its input in build-fuzz/findings/
# and the next harness runs all the same. At the end every harness is
# reported with its executions, executions per second and findings; the
# script exits non-zero when there was any finding. The station's sources are
# compiled once and shared by every harness.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || bash scripts/install-deps.sh fuzz
seconds=${FUZZ_SECONDS:-60}
out=build-fuzz
mkdir -p "$out/obj" "$out/findings"
common=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-sanitize=vptr
        -Wno-deprecated-declarations -Isrc)
# shellcheck disable=SC2207
cflags=($(pkg-config --cflags icu-uc icu-i18n libxml-2.0 odbc libcrypto))
# shellcheck disable=SC2207
libs=($(pkg-config --libs icu-uc icu-i18n libxml-2.0 odbc libcrypto) -lsoci_core -lsoci_sqlite3 -lsoci_odbc -lsqlite3 -ldl)

# The station's sources below the programs, as objects instrumented for
# coverage. SOCI's libraries carry no typeinfo for UBSan's vptr check.
objects=()
for source in src/base/*.cc src/db/*.cc src/cii/syntax/*.cc src/cii/*.cc src/startup/profile_file.cc \
    src/transport/nts_files.cc src/transport/jx_soap.cc; do
  object="$out/obj/$(echo "$source" | tr '/' '_').o"
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ] || [ -n "$(find src -name '*.h' -newer "$object" -print -quit)" ]; then
    clang++ "${common[@]}" -fsanitize=fuzzer-no-link "${cflags[@]}" -c "$source" -o "$object"
  fi
  objects+=("$object")
done

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for harness in fuzz/*_fuzz.cc; do names+=("$(basename "$harness" .cc)"); done
fi
for name in "${names[@]}"; do
  clang++ "${common[@]}" -fsanitize=fuzzer "${cflags[@]}" "fuzz/$name.cc" "${objects[@]}" "${libs[@]}" -o "$out/$name"
done

# The value of one of libFuzzer's final statistics in a log ("?" if none).
final_stat() { grep -E "^stat::$1:" "$2" | tail -n 1 | awk '{print $2}' || true; }

report=()
found=0
for name in "${names[@]}"; do
  corpus="$out/corpus/$name"
  findings="$out/findings/$name"
  mkdir -p "$corpus" "$findings"
  [ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds}s"
  log="$out/$name.log"
  start=$(date +%s.%N)
  status=0
  "$out/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" 2>"$log" || status=$?
  elapsed=$(echo "$(date +%s.%N) - $start" | bc -l)
  units=$(final_stat number_of_executed_units "$log")
  rate="?"
  [ -n "$units" ] && rate=$(printf '%.0f' "$(echo "$units / $elapsed" | bc -l)")
  artifacts=$(find "$findings" -newermt "@${start%.*}" -type f | sort)
  line=$(printf '%-16s %10s executions in %5.0fs, %6s/s' "$name" "${units:-?}" "$elapsed" "$rate")
  if [ "$status" -ne 0 ] || [ -n "$artifacts" ]; then
    found=$((found + 1))
    kind=$(grep -oE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer)[^(]*' "$log" | head -n 1)
    grep -q 'ALARM: working on the last Unit' "$log" && kind="timeout"
    line+=", FINDING (${kind:-exit status $status}): ${artifacts:-no input saved}; log $log"
    tail -n 40 "$log"
  else
    line+=", no findings"
  fi
  echo "$line"
  report+=("$line")
done

echo
echo "== fuzzing report (${seconds}s a harness)"
printf '%s\n' "${report[@]}"
if [ "$found" -gt 0 ]; then
  echo "$found harness(es) found something; add each input to fuzz/seeds/<harness>/ once fixed"
  exit 1
fi
