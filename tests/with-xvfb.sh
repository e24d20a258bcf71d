#!/usr/bin/env bash
# Runs a test program on a private X display with a notification area (trayer).
set -euo pipefail
scratch=$(mktemp -d)
cleanup() {
  kill "${tray_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$scratch/display" ] && break; sleep 0.05; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start"; cat "$scratch/xvfb.log"; exit 1; }
export DISPLAY=":$(cat "$scratch/display")"
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
  --SetDockType false >"$scratch/trayer.log" 2>&1 &
tray_pid=$!
export QT_QPA_PLATFORM=xcb
"$@"
