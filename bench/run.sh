#!/usr/bin/env bash
# The converter benchmarks: every direction over the same generated data,
# each as a ratio to a baseline tool over the same bytes in the same run
# (lower is better): the median of 5 runs with its min-max range, and the
# peak memory at two input sizes.
#
#   bash bench/run.sh            (BENCH_MB=60 by default; the large size is 3x)
#
# The data: local records of a format with every attribute, a repeated
# group nested in a repeated group, Japanese text and an item of the
# extended tag mode; the CII made from them; the XML made from that CII.
# Each output is checked (counts and round trips), so that a fast wrong
# converter cannot pass.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
bin=build-bench/bench/cii-bench
tool=build-bench/apps/cii-tool
work=$(realpath -m "${BENCH_DIR:-bench/out}")
mkdir -p "$work"
small=${BENCH_MB:-60}
large=$((small * 3))
db="sqlite:$work/bench.sqlite"
"$bin" setup-db "$work/bench.sqlite"
missed=0

# Five rounds of a baseline command and the station's command, taken in
# turn so that a machine that speeds up or slows down meets both alike:
# "median min max peak" of the station's command, then "median" of the
# baseline, on one line each.
measure_pair() {  # baseline command, station command (each one string for bash -c)
  local base=() code=() peak=0 kib start end
  for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    bash -c "$1" >/dev/null 2>"$work/stderr.out" || { echo "failed: $1" >&2; cat "$work/stderr.out" >&2; return 1; }
    end=$(date +%s.%N)
    base+=("$(echo "$end - $start" | bc -l)")
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/time.out" bash -c "$2" >/dev/null 2>"$work/stderr.out" ||
      { echo "failed: $2" >&2; cat "$work/stderr.out" >&2; return 1; }
    end=$(date +%s.%N)
    code+=("$(echo "$end - $start" | bc -l)")
    kib=$(tail -n 1 "$work/time.out")
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  printf '%s\n' "${code[@]}" | sort -g | awk -v peak="$peak" '{t[NR]=$1} END {print t[3], t[1], t[5], peak}'
  printf '%s\n' "${base[@]}" | sort -g | awk '{t[NR]=$1} END {print t[3]}'
}

# name, target ratio, baseline command, station command, station command at the large size
compare() {
  local result
  result=$(measure_pair "$3" "$4")
  report "$1" "$2" "$(sed -n 1p <<<"$result")" "$(sed -n 2p <<<"$result")" "$(peak_of bash -c "$5")"
}

# The peak resident KiB of one run.
peak_of() {
  /usr/bin/time -f '%M' -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr.out" || true
  tail -n 1 "$work/time.out"
}

# name, target ratio, code "median min max peak", baseline "median ...", peak KiB at the large size
report() {
  local name=$1 target=$2 code base large_peak=$5
  read -r cmed cmin cmax cpeak <<<"$3"
  read -r base _ <<<"$4"
  local ratio verdict
  ratio=$(echo "scale=3; $cmed / $base" | bc -l)
  verdict=met
  if [ "$(echo "$ratio > $target" | bc -l)" = 1 ] || [ "$cpeak" -ge 65536 ] || [ "$large_peak" -ge 65536 ]; then
    verdict=MISSED
    missed=$((missed + 1))
  fi
  printf '%-14s ratio %5.2f (%.2f-%.2f) target <= %-4s %6.3fs vs %6.3fs  peak %3d MB at %d MB, %3d MB at %d MB  %s\n' \
    "$name" "$ratio" "$(echo "$cmin / $base" | bc -l)" "$(echo "$cmax / $base" | bc -l)" "$target" "$cmed" "$base" \
    $((cpeak / 1024)) "$small" $((large_peak / 1024)) "$large" "$verdict"
}

check() {  # what, condition result (0 ok)
  if [ "$2" = 0 ]; then echo "  check: $1: ok"; else echo "  check: $1: FAILED"; missed=$((missed + 1)); fi
}

# The files of one size: local records, their CII, the CII's XML documents.
prepare() {  # size prefix megabytes
  rm -f "$work/$1".* "$work/$1"[0-9]*.xml
  "$bin" gen-local "$work/$1.LOC" "$2"
  "$tool" from-local --db "$db" --in "$work/$1.LOC" --out "$work/$1.CII" --log "$work/ERR.LOG" >/dev/null
  "$tool" to-xml --db "$db" --in "$work/$1.CII" --out "$work/$1.xml" --log "$work/ERR.LOG" >/dev/null
}
xml_documents() {
  local doc
  for doc in "$work/$1".xml "$work/$1"[0-9]*.xml; do if [ -f "$doc" ]; then echo "$doc"; fi; done | sort -V
}

from_local() { rm -f "$work/run.CII"; "$tool" from-local --db "$db" --in "$work/$1.LOC" --out "$work/run.CII" --log "$work/ERR.LOG"; }
to_local() { rm -f "$work"/run*.LOC; "$tool" to-local --db "$db" --in "$work/$1.CII" --out "$work/run.LOC" --log "$work/ERR.LOG"; }
to_xml() { "$tool" to-xml --db "$db" --in "$work/$1.CII" --out "$work/run.xml" --log "$work/ERR.LOG"; }
from_xml() {
  rm -f "$work/run-x.CII"
  local doc
  for doc in $(xml_documents "$1"); do
    "$tool" from-xml --db "$db" --in "$doc" --out "$work/run-x.CII" --log "$work/ERR.LOG" || return 1
  done
}
export -f from_local to_local to_xml from_xml xml_documents
export work tool db bin

echo "generating ${small} MB and ${large} MB of local records, their CII and its XML"
prepare s "$small"
prepare l "$large"
lines=$(wc -l <"$work/s.LOC")
echo "  ${small} MB: $lines records, CII $(( $(stat -c %s "$work/s.CII") >> 20 )) MB, XML $(du -cm $(xml_documents s) | tail -n 1 | cut -f1) MB in $(xml_documents s | wc -l) documents"

iconv_cii="iconv -c -f CP932 -t UTF-8 $work/s.CII"
iconv_local="iconv -c -f CP932 -t UTF-8 $work/s.LOC"
lint="xmllint --stream --noout $(xml_documents s | tr '\n' ' ')"

# The CII back to local records, compared with the generated ones.
same_records() {  # CII file
  rm -f "$work"/back*.LOC
  "$tool" to-local --db "$db" --in "$1" --out "$work/back.LOC" --log "$work/ERR.LOG" >/dev/null &&
    cmp -s "$work/s.LOC" "$work/back0101.LOC"
}

messages=$("$bin" walk "$work/s.CII" | cut -d' ' -f1)
compare "reader walk" 0.5 "$iconv_cii" "$bin walk $work/s.CII" "$bin walk $work/l.CII"
check "the walk meets one message per record ($messages)" "$([ "$messages" = "$lines" ]; echo $?)"

compare "CII to local" 1.0 "$iconv_cii" "to_local s" "to_local l"
to_local s >/dev/null  # the large run of compare wrote over the output
check "CII to local gives back every record byte for byte" "$(cmp -s "$work/s.LOC" "$work/run0101.LOC"; echo $?)"

compare "local to CII" 1.0 "$iconv_local" "from_local s" "from_local l"
from_local s >/dev/null
check "local to CII to local gives back every record" "$(same_records "$work/run.CII"; echo $?)"

compare "XML to CII" 1.0 "$lint" "from_xml s" "from_xml l"
from_xml s >/dev/null
check "XML to CII to local gives back every record" "$(same_records "$work/run-x.CII"; echo $?)"

compare "CII to XML" 1.0 "$lint" "to_xml s" "to_xml l"
ok=0
to_xml s >/dev/null
for doc in $(xml_documents s); do cmp -s "$doc" "$work/run${doc#"$work/s"}" || ok=1; done
check "CII to XML writes the same documents again" "$ok"

# One message of the size of a whole document: its groups repeat until the
# message holds about ${small} MB of XML. Memory must not follow the
# message; the result is the converter's code (a message whose CII would
# pass 9,999,999 bytes is refused with 0033 while it is read).
"$bin" one-message "$work/s.xml" "$work/one.xml" "$small"
one_peak=$(peak_of "$tool" from-xml --db "$db" --in "$work/one.xml" --out "$work/one.CII" --log "$work/ERR.LOG")
one_code=$(tail -n 1 "$work/ERR.LOG" | cut -c1-4)  # the start line (0000) when nothing went wrong
verdict=met
[ "$one_peak" -ge 65536 ] && { verdict=MISSED; missed=$((missed + 1)); }
printf '%-14s one message of %d MB: peak %d MB (target < 64 MB), result %s  %s\n' "XML to CII" "$small" \
  $((one_peak / 1024)) "$one_code" "$verdict"
rm -f "$work/one.xml" "$work/one.CII"

# What libxml2's SAX2 interface costs against its pull reader over the same
# documents: the floor of a converter built on either.
sax="xmllint --sax --noout $(xml_documents s | tr '\n' ' ') >/dev/null"
sax_result=$(measure_pair "$lint" "$sax")
read -r sax_median _ <<<"$(sed -n 1p <<<"$sax_result")"
read -r stream_median _ <<<"$(sed -n 2p <<<"$sax_result")"
printf '%-14s ratio %5.2f to xmllint --stream  %6.3fs vs %6.3fs  (the floor of a converter on SAX2)\n' "xmllint --sax" \
  "$(echo "$sax_median / $stream_median" | bc -l)" "$sax_median" "$stream_median"

for extra in bench/*.bench.sh; do [ -f "$extra" ] && source "$extra"; done
rm -f "$work"/l.* "$work"/l[0-9]*.xml "$work"/run* "$work"/back*
if [ "$missed" = 0 ]; then echo "every target met"; else echo "$missed targets or checks missed"; fi
