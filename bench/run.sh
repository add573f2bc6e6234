#!/usr/bin/env bash
# Runs the benchmarks. Each prints the time of the station's code as a ratio
# to a baseline tool run over the same input in the same run (lower is
# better), and peak memory where a target is set.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
bin=build-bench/bench/cii-bench
work=${BENCH_DIR:-bench/out}
mkdir -p "$work"
megabytes=${BENCH_MB:-60}

# Seconds (best of three) and peak resident KiB of a command.
measure() {
  local best="" peak=0
  for _ in 1 2 3; do
    local start end kib
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr.out" ||
      { cat "$work/stderr.out" >&2; return 1; }
    kib=$(tail -n 1 "$work/time.out")
    end=$(date +%s.%N)
    local t
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$best $peak"
}

report() {  # name, target, code-seconds, baseline-seconds, peak-kib
  local ratio
  ratio=$(echo "scale=3; $3 / $4" | bc -l)
  printf '%-28s %6.3fs vs baseline %6.3fs  ratio %5.3f (target <= %s)  peak %d MB\n' \
    "$1" "$3" "$4" "$ratio" "$2" "$(( $5 / 1024 ))"
}

cii="$work/bench.CII"
echo "generating a ${megabytes} MB CII file"
"$bin" gen-cii "$cii" "$megabytes" M
read -r base _ < <(measure iconv -c -f CP932 -t UTF-8 "$cii")
read -r walk peak < <(measure "$bin" walk "$cii")
report "CII reader walk" 1.0 "$walk" "$base" "$peak"

for extra in bench/*.bench.sh; do [ -f "$extra" ] && source "$extra"; done
