#!/usr/bin/env bash
# Pictures of the operator window on a fresh demo station, as an operator
# sees it: before a run, with the rows marked, and after a run in which the
# TCP centre fails (its package reports status 0105), without a click. The window
# runs in a real X server (Xvfb) with a Japanese font; the keys are typed
# with xdotool and the window captured with ImageMagick.
#   bash scripts/screenshots.sh [OUTPUT-FOLDER]   (default docs/)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
bash scripts/install-deps.sh screenshots
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDI_BUILD_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" >/dev/null
station=$(mktemp -d /tmp/edi-shots-XXXXXX)
build-demo/apps/edi-station init "$station" --demo >/dev/null
echo "STATUS=0105" >> "$station/nts/program/z_tcp-standin.ini"
# The JX centre's server, as the demo runs it.
"$station/system/bin/edi-jx-standin" serve "$station/jx" --port 47230 --user demo --password demo-password \
  >/dev/null 2>&1 &
standin=$!
mkdir -p "$out"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$monitor" "$xvfb" "$standin" 2>/dev/null || true; rm -rf "$station"' EXIT
export DISPLAY=$display
sleep 1
"$station/system/bin/edi-monitor" OP01 >/dev/null 2>&1 &
monitor=$!
window=$(xdotool search --sync --name "組立メーカEDI手動受信" | head -n 1)
xdotool windowmove "$window" 0 0
# No window manager runs here: give the window the keyboard focus, then type
# through XTEST so that Qt sees real key presses (mnemonics included).
xdotool windowfocus --sync "$window"
sleep 1
shoot() { import -window "$window" "$out/$1"; echo "$out/$1"; }
shoot monitor-before.png
# Rows 1 to 5 selected downwards, marked with the space bar.
xdotool key shift+Down shift+Down shift+Down shift+Down space
sleep 0.5
shoot monitor-marked.png
xdotool key alt+s
# The file-exchange centres ask for their file in an open dialog: the first
# one is pictured, each is confirmed with Return on the file it proposes.
dialogs=0
for _ in $(seq 1 240); do
  ended=$(sqlite3 "$station/data/edi.sqlite" "SELECT (SELECT COUNT(*) FROM FL1102処理履歴ファイル WHERE 枝番 = 0)
    || '/' || (SELECT COUNT(*) FROM FL9102処理中転送)" 2>/dev/null || echo 0)
  [ "$ended" = 5/0 ] && break
  dialog=$(xdotool search --onlyvisible --name '^(Open|Save As|開く|名前を付けて保存)$' 2>/dev/null | head -n 1 || true)
  if [ -n "$dialog" ]; then
    sleep 1
    if [ "$dialogs" = 0 ]; then
      import -window root -crop 1024x620+0+0 "$out/monitor-file-dialog.png"
      echo "$out/monitor-file-dialog.png"
    fi
    dialogs=$((dialogs + 1))
    xdotool windowfocus --sync "$dialog" key Return
  fi
  sleep 0.5
done
# As the run left it: the last row processed selected, every row in its
# state's colour.
sleep 1
shoot monitor-after.png
# The history of the failed centre, from its row's menu.
xdotool mousemove --window "$window" 300 237 click 3
sleep 1
xdotool key Down Return
history=$(timeout 20 xdotool search --sync --onlyvisible --name "^処理履歴 " | head -n 1)
xdotool windowmove "$history" 0 0
sleep 1
import -window "$history" "$out/monitor-history.png"
echo "$out/monitor-history.png"
