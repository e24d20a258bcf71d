#!/usr/bin/env bash
# A working directory with two virtual serial port pairs linked as COM3 and COM4, two
# simulated devices on their far ends talking to each other through tandemix, and tandemix
# itself. On the user's display the operator drives it; without one, it runs on Xvfb and
# this script presses START, then STOP and EXIT, and prints the transcript.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program="$top/build/tandemix"
work="$top/build/demo"
[ -x "$program" ] || { echo "build first: make build"; exit 1; }

pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; }
trap cleanup EXIT

rm -rf "$work" && mkdir -p "$work" && cd "$work"
# Each pair: COMn for tandemix, dev-n for the simulated device on the far side.
for n in 3 4; do
  socat "pty,raw,echo=0,link=COM$n" "pty,raw,echo=0,link=dev-$n" &
  pids+=($!)
done
for _ in $(seq 50); do [ -e COM3 ] && [ -e COM4 ] && [ -e dev-3 ] && [ -e dev-4 ] && break; sleep 0.1; done

# The PC program on COM3's far side asks once a second; the instrument on COM4's far side
# answers every line it receives.
( exec 3<>dev-3; for i in $(seq 1 100000); do printf 'MEAS? %d\r\n' "$i" >&3; sleep 1; done ) &
pids+=($!)
( exec 3<>dev-4; while IFS= read -r line <&3; do
    printf '%s = %d.%02d V\r\n' "${line%$'\r'}" $((RANDOM % 10)) $((RANDOM % 100)) >&3
  done ) &
pids+=($!)

if [ -n "${DISPLAY:-}" ] && [ "${DEMO_HEADLESS:-}" != 1 ]; then
  echo "tandemix runs in $work: press START, watch the traffic, STOP, EXIT."
  "$program"
  echo "Transcripts in $work:"; ls "$work"/output.*.txt 2>/dev/null || true
  exit 0
fi

# No display: a private one with a window manager and a notification area.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>display 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s display ] && break; sleep 0.05; done
export DISPLAY=":$(cat display)"
openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 32 \
  >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$program" &
tandemix=$!
xdotool search --sync --name 'tandemix v2.3' >/dev/null
# The window is looked up for every key: Qt may have made it anew meanwhile.
press() {
  local window
  window=$(xdotool search --name 'tandemix v2.3' | head -n 1)
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xdotool key "$1" || true
}
sleep 1
echo "pressing START"; press Return
sleep 6
if command -v import >/dev/null; then import -window root "$work/screenshot.png" && echo "screenshot: $work/screenshot.png"; fi
echo "pressing STOP"; press Return
for _ in $(seq 50); do ls output.*.txt >/dev/null 2>&1 && break; sleep 0.2; done
sleep 1
echo "pressing EXIT"; press Escape
wait "$tandemix" || true
for f in output.*.txt; do
  echo "== $f =="
  tr -d '\r' < "$f"
  echo
done
