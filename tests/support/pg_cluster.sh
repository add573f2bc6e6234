#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL cluster on 127.0.0.1 for the tests,
# with an ODBC data source "edi_test" that reaches it through the
# odbc-postgresql driver.
#
#   pg_cluster.sh start DIR   creates DIR/data, starts the server, writes
#                             DIR/odbcinst.ini and DIR/odbc.ini
#   pg_cluster.sh stop DIR    stops the server and removes DIR
#
# Tests use it through ODBCSYSINI=DIR and ODBCINI=DIR/odbc.ini.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?cluster folder}
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so
[ -f "$driver" ] || driver=$(find /usr/lib -name psqlodbca.so 2>/dev/null | head -n 1)

as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$pgbin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

free_port() {
  python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

case "$action" in
  start)
    stop
    mkdir -p "$dir"
    [ "$(id -u)" = 0 ] && chown postgres "$dir"
    as_owner "$pgbin/initdb" -D "$dir/data" -E UTF8 --locale=C -A trust -U edi >"$dir/initdb.log" 2>&1
    port=$(free_port)
    as_owner "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off" start >/dev/null
    as_owner "$pgbin/createdb" -h 127.0.0.1 -p "$port" -U edi edi
    cat >"$dir/odbcinst.ini" <<INI
[PostgreSQL ANSI]
Description=PostgreSQL ODBC driver (ANSI)
Driver=$driver
INI
    cat >"$dir/odbc.ini" <<INI
[edi_test]
Driver=PostgreSQL ANSI
Servername=127.0.0.1
Port=$port
Database=edi
UserName=edi
Password=
ConnSettings=SET client_encoding TO 'UTF8'
INI
    cp "$dir/odbc.ini" "$dir/.odbc.ini"
    echo "PostgreSQL on 127.0.0.1:$port, DSN edi_test"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
