# Sourced by bench/run.sh: 50 demo-like centres through edi-receive with the
# stand-ins for the TCP package and the translator. Prints the station's own
# time per centre: the run's total minus the time the stand-ins ran.
receive_bench() {
  local apps=build-bench/apps station="$work/receive-station" db
  cmake --build build-bench -j "$(nproc)" --target edi-station edi-receive cii-tool z_tcp-standin \
    edi-translator-standin >/dev/null
  rm -rf "$station"
  "$apps/edi-station" init "$station" --demo >/dev/null
  db="$station/data/edi.sqlite"
  local sql="" n code partner
  for n in $(seq 2 13); do  # TCP centres, partners 11..22, file 01
    code=$(printf 'BENCHZ%02d' "$n"); partner=$((n + 9))
    sql+="INSERT INTO FL1903EDI制御マスタ VALUES ('$code','bench','Z','C','1',$partner,1,'$station/nts/recv/$code.CII','');"
    printf 'RECEIVE_%02d_01=%s/nts/recv/%s.CII\n' "$partner" "$station" "$code" >>"$station/nts/program/z_tcp-standin.ini"
    cp "$station/nts/partner/01_01" "$station/nts/partner/$(printf '%02d' "$partner")_01"
  done
  for n in $(seq 2 13); do  # mail centres of data format X
    code=$(printf 'BENCHM%02d' "$n")
    sql+="INSERT INTO FL1903EDI制御マスタ VALUES ('$code','bench','M','X','1',0,0,'$station/recv/DEMOM01','$code@partner.example');"
    sed "s/^To: DEMOM01@/To: $code@/" "$station/mail/new/1765152000.demo1.edi-partner" \
      >"$station/mail/new/1765152000.bench$n.edi-partner"
  done
  for n in $(seq 2 12); do  # file exchange, CII and XML
    for kind in C X; do
      code=$(printf 'BENCH%s%02d' "$kind" "$n")
      local ext=CII; [ "$kind" = X ] && ext=XML
      mkdir -p "$station/recv/$code"
      cp "$station/recv/DEMOW01/orders.CII" "$station/recv/$code/orders.CII"
      cp "$station/recv/DEMOW02/orders.XML" "$station/recv/$code/orders.XML"
      sql+="INSERT INTO FL1903EDI制御マスタ VALUES ('$code','bench','W','$kind','1',0,0,'$station/recv/$code/orders.$ext','');"
    done
  done
  sqlite3 "$db" "$sql INSERT INTO FL1915センタ利用企業マスタ SELECT センターコード, 'C0001' FROM FL1903EDI制御マスタ WHERE センターコード LIKE 'BENCH%';"
  local centres
  centres=$(sqlite3 "$db" "SELECT COUNT(*) FROM FL1903EDI制御マスタ WHERE 相手先種別 = '1'")
  rm -f "$work/standin-times"
  local start end
  start=$(date +%s.%N)
  EDI_STANDIN_TIMES="$work/standin-times" "$station/system/bin/edi-receive" --all >"$work/receive.out" 2>/dev/null ||
    { tail -n 5 "$work/receive.out" >&2; return 1; }
  end=$(date +%s.%N)
  local outside own
  outside=$(awk '{ s += $1 } END { printf "%.4f", s }' "$work/standin-times")
  own=$(echo "scale=2; ($end - $start - $outside) * 1000 / $centres" | bc -l)
  printf '%-28s %d centres, %s; station own time %6.2f ms per centre (target < 50)\n' "receive run (edi-receive)" \
    "$centres" "$(tail -n 1 "$work/receive.out")" "$own"
}
receive_bench
