#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60). Any crash, hang, broken invariant or sanitizer
# report fails. The station's sources are compiled once and shared by every
# harness.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=build-fuzz
mkdir -p "$out/obj"
common=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-sanitize=vptr
        -Wno-deprecated-declarations -Isrc)
# shellcheck disable=SC2207
cflags=($(pkg-config --cflags icu-uc icu-i18n libxml-2.0 odbc))
# shellcheck disable=SC2207
libs=($(pkg-config --libs icu-uc icu-i18n libxml-2.0 odbc) -lsoci_core -lsoci_sqlite3 -lsoci_odbc -lsqlite3 -ldl)

# The station's sources below the programs, as objects instrumented for
# coverage. SOCI's libraries carry no typeinfo for UBSan's vptr check.
objects=()
for source in src/base/*.cc src/db/*.cc src/cii/syntax/*.cc src/cii/*.cc src/startup/profile_file.cc \
    src/transport/nts_files.cc; do
  object="$out/obj/$(echo "$source" | tr '/' '_').o"
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ]; then
    clang++ "${common[@]}" -fsanitize=fuzzer-no-link "${cflags[@]}" -c "$source" -o "$object"
  fi
  objects+=("$object")
done
for harness in fuzz/*_fuzz.cc; do
  name=$(basename "$harness" .cc)
  clang++ "${common[@]}" -fsanitize=fuzzer "${cflags[@]}" "$harness" "${objects[@]}" "${libs[@]}" -o "$out/$name"
done

for harness in "$out"/*_fuzz; do
  [ -f "$harness" ] && [ -x "$harness" ] || continue
  name=$(basename "$harness")
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  [ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds}s"
  "$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" 2>"$out/$name.log" || { tail -n 60 "$out/$name.log"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$out/$name.log" || true
done
