#!/usr/bin/env bash
# Starts or stops throw-away mail servers on 127.0.0.1 for the tests: a
# Dovecot with IMAP, IMAPS (a self-signed certificate, for the refused
# verification) and POP3 for one user "edi" (password "secret", maildir
# DIR/home/edi/Maildir), and an aiosmtpd sink storing what it receives in
# the maildir DIR/smtp.
#
#   mail_servers.sh start DIR   starts them and writes DIR/servers.env
#   mail_servers.sh stop DIR    stops them and removes DIR
#
# Dovecot needs root (its login processes change user); without root only
# the SMTP sink starts and servers.env says so.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?server folder}
python=/usr/bin/python3

free_port() {
  "$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

stop() {
  if [ -f "$dir/dovecot.conf" ]; then doveadm -c "$dir/dovecot.conf" stop >/dev/null 2>&1 || true; fi
  if [ -f "$dir/smtp.pid" ]; then kill "$(cat "$dir/smtp.pid")" 2>/dev/null || true; fi
  sleep 0.2
  rm -rf "$dir"
}

wait_port() {
  for _ in $(seq 1 100); do
    "$python" -c "import socket; socket.create_connection(('127.0.0.1', $1), 0.2)" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on 127.0.0.1:$1" >&2
  return 1
}

start_dovecot() {
  local imap=$1 imaps=$2 pop3=$3
  mkdir -p "$dir/run" "$dir/state" "$dir/home/edi/Maildir/"{new,cur,tmp}
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=127.0.0.1" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
  echo "edi:{PLAIN}secret" >"$dir/passwd"
  cat >"$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
protocols = imap pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain login
first_valid_uid = 1
mail_location = maildir:$dir/home/%u/Maildir
pop3_uidl_format = %08Xu%08Xv
default_login_user = dovenull
default_internal_user = dovecot
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
userdb {
  driver = static
  args = uid=mail gid=mail home=$dir/home/%u
}
service imap-login {
  inet_listener imap {
    port = $imap
  }
  inet_listener imaps {
    port = $imaps
    ssl = yes
  }
}
service pop3-login {
  inet_listener pop3 {
    port = $pop3
  }
  inet_listener pop3s {
    port = 0
  }
}
service anvil {
  chroot =
}
service imap-login {
  chroot =
}
service pop3-login {
  chroot =
}
CONF
  chmod 755 "$dir"
  # The mail processes run as "mail"; the tests deliver into the maildir as
  # root, which keeps the files readable and the folders the user's.
  chown -R mail:mail "$dir/home"
  dovecot -c "$dir/dovecot.conf" </dev/null >/dev/null 2>&1
  wait_port "$imap"
  wait_port "$pop3"
}

case "$action" in
  start)
    stop
    mkdir -p "$dir/smtp/new" "$dir/smtp/cur" "$dir/smtp/tmp"
    smtp=$(free_port)
    "$python" -m aiosmtpd -n -l "127.0.0.1:$smtp" -c aiosmtpd.handlers.Mailbox "$dir/smtp" \
      </dev/null >"$dir/smtp.log" 2>&1 &
    echo $! >"$dir/smtp.pid"
    wait_port "$smtp"
    {
      echo "SMTP_PORT=$smtp"
      echo "SMTP_MAILDIR=$dir/smtp"
    } >"$dir/servers.env"
    if [ "$(id -u)" = 0 ] && command -v dovecot >/dev/null; then
      imap=$(free_port); imaps=$(free_port); pop3=$(free_port)
      start_dovecot "$imap" "$imaps" "$pop3"
      {
        echo "IMAP_PORT=$imap"
        echo "IMAPS_PORT=$imaps"
        echo "POP3_PORT=$pop3"
        echo "MAILDIR=$dir/home/edi/Maildir"
      } >>"$dir/servers.env"
    fi
    cat "$dir/servers.env"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
