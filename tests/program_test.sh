#!/usr/bin/env bash
# The program as a whole on an X display: a second copy brings the first copy's hidden
# window forward and ends with status 0; once the first copy is gone, even by kill -9, the
# next start is a first start. Run through with-xvfb.sh; $1 is the program.
set -euo pipefail
program=$1
work=$(mktemp -d)
cd "$work"
pids=()
trap 'kill -9 "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
visible() { xdotool search --onlyvisible --name '^tandemix v2\.3$' 2>/dev/null | wc -l; }
wait_visible() {  # count, seconds
  for _ in $(seq $(($2 * 10))); do [ "$(visible)" -eq "$1" ] && return 0; sleep 0.1; done
  return 1
}

"$program" & pids+=($!); first=$!
wait_visible 1 10 || fail "the first copy's window did not appear"
window=$(xdotool search --onlyvisible --name '^tandemix v2\.3$' | head -n 1)

# Minimise through the dialog's own system menu (Alt+Space, then N): it hides.
xdotool key --window "$window" alt+space
sleep 0.5
xdotool key n
wait_visible 0 5 || fail "minimising did not hide the window"

start=$(date +%s)
set +e; timeout 20 "$program"; status=$?; set -e
[ "$status" -eq 0 ] || fail "the second copy ended with status $status"
[ $(( $(date +%s) - start )) -lt 10 ] || fail "the second copy took too long"
wait_visible 1 5 || fail "the second copy did not bring the first one's window forward"
kill -0 "$first" || fail "the first copy is gone"
echo "second copy: brought the first forward and ended with 0"

kill -9 "$first"; wait "$first" 2>/dev/null || true
wait_visible 0 5 || fail "the window outlived its process"
"$program" & pids+=($!); again=$!
wait_visible 1 10 || fail "after kill -9 a new start was not a first start"
kill "$again"
echo "after kill -9: a new start is a first start"
