# Sourced by bench/run.sh. The operator window's start with 10,000 centres,
# against the same start with the demo's five centres (ratio), and against
# the target of half a second.
monitor_station() {  # folder, extra centres
  rm -rf "$1"
  build-bench/apps/edi-station init "$1" --demo >/dev/null
  {
    echo "BEGIN;"
    echo "CREATE TEMP TABLE c AS SELECT * FROM FL1903EDI制御マスタ WHERE センターコード = 'DEMOZ01';"
    for i in $(seq 1 "$2"); do
      echo "UPDATE c SET センターコード = printf('BENCH%05d', $i);"
      echo "INSERT INTO FL1903EDI制御マスタ SELECT * FROM c;"
    done
    echo "COMMIT;"
  } | sqlite3 "$1/data/edi.sqlite"
}
monitor_median() {  # station folder: median seconds of five starts
  for _ in 1 2 3 4 5; do
    QT_QPA_PLATFORM=offscreen build-bench/bench/monitor-bench "$1" 2>/dev/null | cut -d' ' -f1
  done | sort -n | sed -n 3p
}
monitor_station "$work/monitor-small" 0
monitor_station "$work/monitor-large" 9995
small=$(monitor_median "$work/monitor-small")
large=$(monitor_median "$work/monitor-large")
printf '%-28s %6.3fs vs 5 centres %6.3fs  ratio %5.2f  (target: shown in < 0.5 s: %s)\n' \
  "window start, 10000 centres" "$large" "$small" "$(echo "scale=3; $large / $small" | bc -l)" \
  "$([ "$(echo "$large < 0.5" | bc -l)" = 1 ] && echo met || echo MISSED)"
