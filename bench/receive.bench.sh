# Sourced by bench/run.sh: the whole receive run. 200 centres, half through
# the TCP package stand-in and half from the maildir, each delivering a 1 MB
# CII, are received, converted, registered (translator stand-in) and backed
# up by one `edi-receive --all`. The same conversions run alone by cii-tool
# in this script are the yardstick: the run's own overhead (its wall time
# less the outside programs' time and less those conversions) must stay
# within 10 % of the conversions and 50 ms per centre.
receive_bench() {
  local apps=build-bench/apps station="$work/receive-station" db centres=200
  cmake --build build-bench -j "$(nproc)" --target edi-station edi-receive cii-tool z_tcp-standin \
    edi-translator-standin >/dev/null
  rm -rf "$station"
  "$apps/edi-station" init "$station" --demo >/dev/null
  db="$station/data/edi.sqlite"
  # The demo's centres leave; 1 MB of the demo's order records as CII.
  sqlite3 "$db" "DELETE FROM FL1903EDI制御マスタ; DELETE FROM FL1915センタ利用企業マスタ;"
  rm -f "$station"/mail/new/* "$station"/nts/partner/*
  local records="$work/receive-orders.LOC" cii="$work/receive-orders.CII"
  rm -f "$records" "$cii"
  while [ "$(stat -c %s "$records" 2>/dev/null || echo 0)" -lt 1400000 ]; do
    cat "$station/out/DEMO_ORDERS.LOC" >>"$records"
  done
  "$apps/cii-tool" from-local --db "sqlite:$db" --in "$records" --out "$cii" --log "$work/ERR.LOG" >/dev/null
  local n code partner file sql="BEGIN;"
  for n in $(seq 1 $((centres / 2))); do  # TCP: partners 10..59, files 01 and 02
    code=$(printf 'BENCHZ%03d' "$n"); partner=$((10 + (n - 1) / 2)); file=$((1 + (n - 1) % 2))
    sql+="INSERT INTO FL1903EDI制御マスタ VALUES ('$code','bench','Z','C','1',$partner,$file,'$station/nts/recv/$code.CII','');"
    printf 'RECEIVE_%02d_%02d=%s/nts/recv/%s.CII\n' "$partner" "$file" "$station" "$code" \
      >>"$station/nts/program/z_tcp-standin.ini"
    cp "$cii" "$station/nts/partner/$(printf '%02d_%02d' "$partner" "$file")"
  done
  local attachment="$work/receive-orders.b64"
  base64 -w 76 "$cii" | sed 's/$/\r/' >"$attachment"
  for n in $(seq 1 $((centres / 2))); do  # mail: one message to each centre's address
    code=$(printf 'BENCHM%03d' "$n")
    sql+="INSERT INTO FL1903EDI制御マスタ VALUES ('$code','bench','M','C','1',0,0,'','$code@partner.example');"
    {
      printf 'From: orders@partner.example\r\nTo: %s@partner.example\r\nSubject: orders\r\n' "$code"
      printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n--b\r\n'
      printf 'Content-Type: application/octet-stream; name="orders.CII"\r\nContent-Transfer-Encoding: base64\r\n'
      printf 'Content-Disposition: attachment; filename="orders.CII"\r\n\r\n'
      cat "$attachment"
      printf -- '--b--\r\n'
    } >"$station/mail/new/1765152000.bench$n.edi-partner"
  done
  sqlite3 "$db" "$sql INSERT INTO FL1915センタ利用企業マスタ SELECT センターコード, 'C0001' FROM FL1903EDI制御マスタ; COMMIT;"

  # The yardstick: each centre's conversion alone, as cii-tool runs it.
  local start end alone
  start=$(date +%s.%N)
  for n in $(seq 1 "$centres"); do
    rm -f "$work"/alone*.LOC
    "$apps/cii-tool" to-local --db "sqlite:$db" --in "$cii" --out "$work/alone.LOC" --log "$work/ERR.LOG" >/dev/null
  done
  end=$(date +%s.%N)
  alone=$(echo "$end - $start" | bc -l)
  local expected
  expected=$(wc -l <"$records")
  check "a 1 MB CII converts alone to its $expected records" "$([ "$(wc -l <"$work/alone0101.LOC")" = "$expected" ]; echo $?)"

  rm -f "$work/standin-times"
  local peak
  start=$(date +%s.%N)
  # BENCH_PERF=FILE records where the run's time goes (perf record -g).
  local profile=()
  [ -n "${BENCH_PERF:-}" ] && profile=(perf record -q -g -o "$BENCH_PERF" --)
  EDI_STANDIN_TIMES="$work/standin-times" /usr/bin/time -f '%M' -o "$work/time.out" \
    "${profile[@]}" "$station/system/bin/edi-receive" --all >"$work/receive.out" 2>"$work/receive.err" ||
    { tail -n 5 "$work/receive.out" "$work/receive.err" >&2; missed=$((missed + 1)); return 0; }
  end=$(date +%s.%N)
  peak=$(tail -n 1 "$work/time.out")
  local outside run own share per verdict=met
  outside=$(awk '{ s += $1 } END { printf "%.4f", s }' "$work/standin-times")
  run=$(echo "$end - $start" | bc -l)
  own=$(echo "$run - $outside - $alone" | bc -l)
  share=$(echo "scale=4; $own / $alone" | bc -l)
  per=$(echo "scale=2; $own * 1000 / $centres" | bc -l)
  if [ "$(echo "$share > 0.10 || $per > 50" | bc -l)" = 1 ] || [ "$peak" -ge 65536 ]; then
    verdict=MISSED
    missed=$((missed + 1))
  fi
  printf '%-14s %d centres of 1 MB CII: %.2fs, outside programs %.2fs, the same conversions alone %.2fs;\n' \
    "receive run" "$centres" "$run" "$outside" "$alone"
  printf '%-14s own overhead %.2fs = %.1f %% of the conversions (target <= 10 %%), %.1f ms per centre (target <= 50),' \
    "" "$own" "$(echo "$share * 100" | bc -l)" "$per"
  printf ' peak %d MB  %s\n' $((peak / 1024)) "$verdict"
  check "every centre of the run ended done ($(tail -n 1 "$work/receive.out"))" \
    "$([ "$(tail -n 1 "$work/receive.out")" = "centres: $centres, done: $centres, error: 0" ]; echo $?)"
  check "each centre registered its records" "$(
    [ "$(sqlite3 "$db" "SELECT COUNT(*) FROM FL1102処理履歴ファイル WHERE 処理種別 = '41' AND 終了コード = '0000' AND 入力レコード数 = $expected")" = "$centres" ]
    echo $?
  )"
}
receive_bench
