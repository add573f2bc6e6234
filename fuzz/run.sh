#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60). Any crash, hang or sanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=build-fuzz
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc)
icu=$(pkg-config --cflags --libs icu-uc icu-i18n)

build() {
  local name=$1; shift
  # shellcheck disable=SC2086
  clang++ "${flags[@]}" "fuzz/$name.cc" "$@" $icu -o "$out/$name"
}

build cii_reader_fuzz src/cii/cii_input.cc src/cii/cii_reader.cc src/cii/ansi_text.cc \
  src/cii/field_codec.cc src/startup/ansi_codec.cc
build profile_fuzz src/startup/profile_file.cc src/startup/ansi_codec.cc
# The XML converter needs the database layer; SOCI's libraries carry no
# typeinfo for UBSan's vptr check.
flags+=(-fno-sanitize=vptr -Wno-deprecated-declarations)
# shellcheck disable=SC2046
build xml_fuzz src/cii/*.cc src/db/database.cc src/db/result_set.cc src/db/schema.cc \
  src/startup/ansi_codec.cc src/startup/common_routines.cc \
  $(pkg-config --cflags --libs libxml-2.0 odbc) -lsoci_core -lsoci_sqlite3 -lsoci_odbc -lsqlite3 -ldl
for extra in fuzz/*_fuzz.sh; do [ -f "$extra" ] && source "$extra"; done

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
