#!/usr/bin/env bash
# Runs the Windows test programs, <build-win32-dir>/tests/win32/*.exe (GoogleTest programs),
# under Wine: a fresh 32-bit prefix, a private X display without a window manager, and
# pseudo-terminal pairs joined by socat as serial ports:
#   COM3 <-> COM5, COM4 <-> COM6, COM10 <-> COM11, COM12 <-> COM13,
#   COM7 a regular empty file (a port that is not a serial device), COM200 missing.
# Every program gets new port pairs (nothing left in them by the one before), its own
# wineserver and its own scratch working directory, and runs with
# tests/win32/pty_line_settings.c preloaded, so that the pseudo-terminals keep 7E1.
# A program passes only when it exits 0, prints gtest's PASSED line for more than 0 tests
# (0 allowed with a filter, as long as some program ran a test) and no FAILED line, and
# writes an XML report that counts more than 0 tests and no failures or errors.
#
# Usage: scripts/wine-tests.sh <build-win32-dir>
# Knobs: WINE_TESTS_FILTER    passed as --gtest_filter
#        WINE_TESTS_ONLY      run only this program (name with or without .exe)
#        WINE_TESTS_TIMEOUT   seconds one program may take (default 300)
#        KEEP_WINEPREFIX=1    keep the temporary directory (prefix, logs, outputs)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
say() { printf '[wine-tests] %s\n' "$*"; }
die() { say "ERROR: $*"; exit 1; }
now() { local t=$EPOCHREALTIME; echo "${t/,/.}"; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

[ $# -eq 1 ] || die "usage: $0 <build-win32-dir>"
[ -d "$1/tests/win32" ] || die "no $1/tests/win32 directory"
testdir=$(cd "$1/tests/win32" && pwd)
per_program_timeout=${WINE_TESTS_TIMEOUT:-300}
filter=${WINE_TESTS_FILTER:-}
only=${WINE_TESTS_ONLY:-}
only=${only%.exe}

mapfile -t programs < <(find "$testdir" -maxdepth 1 -type f -name '*.exe' | LC_ALL=C sort)
if [ -n "$only" ]; then
  selected=()
  for p in "${programs[@]}"; do [ "$(basename "$p" .exe)" = "$only" ] && selected+=("$p"); done
  [ ${#selected[@]} -gt 0 ] || die "WINE_TESTS_ONLY=$only: no $testdir/$only.exe"
  programs=("${selected[@]}")
fi
[ ${#programs[@]} -gt 0 ] || die "no test programs (*.exe) in $testdir"

# --- Wine, socat, Xvfb -------------------------------------------------------------------
t0=$(now)
install_err=$(mktemp)
"$here/install-wine.sh" 2>"$install_err"
rc=$?
cat "$install_err" >&2
reason=$(tail -n1 "$install_err")
rm -f "$install_err"
if [ $rc -eq 3 ]; then
  echo
  echo "== Windows tests =="
  echo "Windows tests SKIPPED: Wine could not be installed (${reason:-no reason given})"
  exit 0
fi
[ $rc -eq 0 ] ||
  die "the tools the Windows tests need are missing: ${reason:-install-wine.sh failed}"
say "Wine: $(wine --version 2>/dev/null), $(command -v wine); socat, Xvfb found ($(since "$t0") s)"

# --- Everything below lives in one temporary directory, removed at exit ---------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/tandemix-wine.XXXXXX") || die "mktemp failed"
ports=$work/ports prefix=$work/prefix
mkdir -p "$ports" "$work/home" "$work/runs"
xvfb_pid="" server_pid="" socat_pids=() child_pid=""

# Runs a command with a time limit, output to a file: never to a pipe, which Windows processes
# the command starts (services, a program a test left behind) would hold open. Waiting with
# `wait` lets INT and TERM reach the trap at once.
bounded() {  # seconds output-file command...
  local secs=$1 output=$2 rc
  shift 2
  timeout -k 10 "$secs" "$@" </dev/null >"$output" 2>&1 &
  child_pid=$!
  wait "$child_pid"
  rc=$?
  child_pid=""
  return $rc
}

stop_pid() {  # pid: TERM, wait a bounded time, then KILL
  local pid=$1 i
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
  for i in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

stop_wine() {  # ends every Windows process of the prefix, then the wineserver
  local i
  [ -d "$prefix" ] && WINEPREFIX=$prefix timeout 30 wineserver -k >/dev/null 2>&1
  [ -n "$server_pid" ] || return 0
  for i in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.05; done
  stop_pid "$server_pid"
  server_pid=""
}

stop_ports() {
  local pid
  for pid in "${socat_pids[@]}"; do stop_pid "$pid"; done
  socat_pids=()
  rm -f "$ports"/com*
}

cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  stop_pid "$child_pid"
  stop_wine
  stop_ports
  stop_pid "$xvfb_pid"
  if [ "${KEEP_WINEPREFIX:-0}" = 1 ]; then
    say "kept $work (WINEPREFIX=$prefix)"
  else
    rm -rf "$work"
  fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- Display -------------------------------------------------------------------------------
t=$(now)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; die "Xvfb did not start within 10 s"; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
say "Xvfb on $DISPLAY ($(since "$t") s)"

# --- Pseudo-terminals that keep their character size and parity -------------------------------
# A pseudo-terminal reports 8 data bits and no parity whatever it is set to, so Wine fails
# 7E1 on it; tests/win32/pty_line_settings.c, loaded into the test programs, keeps the format
# set, as a real UART does. ld.so gives $LIB as lib/i386-linux-gnu to 32-bit processes
# (Wine) and lib/x86_64-linux-gnu to 64-bit ones (the wine shell script), which get an empty
# library instead.
shim_src=$here/../tests/win32/pty_line_settings.c
[ -f "$shim_src" ] || die "no $shim_src"
t=$(now)
shim=$work/preload/lib
mkdir -p "$shim/i386-linux-gnu" "$shim/x86_64-linux-gnu"
gcc -m32 -O2 -Wall -Wextra -Werror -shared -fPIC -nostdlib \
  -o "$shim/i386-linux-gnu/pty_line_settings.so" "$shim_src" ||
  die "cannot build $shim_src for 32-bit Wine"
echo 'int tandemix_pty_line_settings_unused;' |
  gcc -O2 -shared -fPIC -nostdlib -x c -o "$shim/x86_64-linux-gnu/pty_line_settings.so" - ||
  die "cannot build the empty 64-bit stand-in for pty_line_settings"
run_env=(env "LD_PRELOAD=$work/preload/\$LIB/pty_line_settings.so")
say "built ${shim_src#"$here/../"} for LD_PRELOAD ($(since "$t") s)"

# --- Prefix ----------------------------------------------------------------------------------
export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installers at boot, and no menu entries or file associations written.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links the prefix's user folders (Desktop, Documents...) into $HOME: keep them here.
export HOME=$work/home
unset WINESERVER WINELOADER

# The serial ports: Wine's mount manager sets the COM links each time the services start, from
# HKLM\Software\Wine\Ports (here pointing at the stable names of socat's links), and numbers
# the /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* it finds into the free COM numbers.
port_numbers=(3 4 5 6 10 11 12 13)
pairs=("3 5" "4 6" "10 11" "12 13")
reg() {
  bounded 60 "$work/reg.log" wine reg add "$@" /f ||
    { cat "$work/reg.log"; die "wine reg add $* failed"; }
}

t=$(now)
bounded 300 "$work/wineboot.log" wineboot -i
rc=$?
[ $rc -eq 0 ] || { cat "$work/wineboot.log"; die "wineboot -i failed (status $rc)"; }
t_boot=$(since "$t")
t=$(now)
# No window manager runs; a crash prints its backtrace instead of waiting in a dialog.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
for n in "${port_numbers[@]}"; do
  reg 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$ports/com$n"
done
reg 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$ports/not-a-port"
t_reg=$(since "$t")
t=$(now)
bounded 120 "$work/wineserver-wait.log" wineserver -w || die "wineserver did not end after wineboot"
t_wait=$(since "$t")
t_prefix=$(awk -v a="$t_boot" -v b="$t_reg" -v c="$t_wait" 'BEGIN { printf "%.1f", a + b + c }')
say "prefix created in $t_prefix s (wineboot -i $t_boot s, registry $t_reg s, wineserver -w $t_wait s)"

# --- Ports and wineserver for one program ------------------------------------------------------
start_ports() {
  local pair a b n i ok target
  rm -f "$ports"/com*
  for pair in "${pairs[@]}"; do
    read -r a b <<<"$pair"
    # socat keeps its own descriptor of each slave open, so a test closing and reopening a
    # port does not end the pair.
    socat pty,raw,echo=0,link="$ports/com$a" pty,raw,echo=0,link="$ports/com$b" \
      2>>"$work/socat.log" &
    socat_pids+=($!)
  done
  for i in $(seq 200); do
    ok=1
    for n in "${port_numbers[@]}"; do
      target=$(readlink -f "$ports/com$n" 2>/dev/null) || { ok=0; break; }
      [[ $target == /dev/pts/* && -c $target ]] || { ok=0; break; }
    done
    [ $ok -eq 1 ] && break
    sleep 0.05
  done
  [ $ok -eq 1 ] ||
    { cat "$work/socat.log"; die "socat's pseudo-terminals did not appear within 10 s"; }
  : >"$ports/not-a-port"
}

# After the services started: only our ports. The mount manager's own finds (COM1 for
# /dev/ttyS0 here) lose their links, so that no test reaches a real UART; Wine still knows
# them as devices, and opening one succeeds while no comm call works on it.
link_ports() {
  local d=$WINEPREFIX/dosdevices n l
  [ "$(readlink "$d/com3")" = "$ports/com3" ] ||
    say "warning: Wine did not take the ports from HKLM\\Software\\Wine\\Ports" \
      "(COM3 -> $(readlink "$d/com3"))"
  # The mount manager numbers every /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* it finds into the
  # lowest free COM numbers, and such a port stays known without its link: the missing
  # port is the highest number the program takes.
  if [ -e "$d/com200" ] || [ -L "$d/com200" ]; then
    die "Wine gave COM200 to $(readlink "$d/com200"): COM200 cannot be the missing port here"
  fi
  rm -f "$d"/com[0-9]*
  for n in "${port_numbers[@]}"; do
    ln -s "$(readlink -f "$ports/com$n")" "$d/com$n" || die "cannot link COM$n"
  done
  ln -s "$ports/not-a-port" "$d/com7" || die "cannot link COM7"
  for l in "$d"/com*; do
    case ${l##*/} in
      com7) [[ -f $l && ! -s $l ]] || die "COM7 is not an empty regular file" ;;
      com3 | com4 | com5 | com6 | com10 | com11 | com12 | com13)
        [ -c "$l" ] || die "${l##*/} is not a terminal" ;;
      *) die "unexpected port link $l" ;;
    esac
  done
}

start_wine() {
  local i out
  wineserver -p -f >>"$work/wineserver.log" 2>&1 &
  server_pid=$!
  for i in $(seq 200); do [ -S "/proc/$server_pid/cwd/socket" ] && break; sleep 0.05; done
  [ -S "/proc/$server_pid/cwd/socket" ] || die "wineserver did not start within 10 s"
  # The first program brings up the services, and with them the mount manager, which sets
  # the COM links from the registry and adds /dev/ttyS* ports of its own.
  bounded 120 "$work/bootstrap.log" wine cmd /c echo tandemix-wine-ready
  out=$(tr -d '\r' <"$work/bootstrap.log")
  [[ $out == *tandemix-wine-ready* ]] ||
    die "Wine does not run 32-bit Windows programs (cmd printed: ${out:-nothing})"
  link_ports
}

port_map() {
  local n
  for n in "${port_numbers[@]}"; do
    printf 'COM%s=%s ' "$n" "$(readlink "$WINEPREFIX/dosdevices/com$n")"
  done
  printf 'COM7=empty file, COM200 missing\n'
}

# --- One program ------------------------------------------------------------------------------
names=() statuses=() runs=() passes=() fails=() times=() notes=()
total_run=0 total_passed=0 total_failed=0 bad=0

xml_attr() {  # file attribute: from the <testsuites> element
  grep -o '<testsuites [^>]*>' "$1" | head -n1 | sed -n "s/.* $2=\"\([0-9]*\)\".*/\1/p"
}

run_program() {
  local exe=$1 name scratch out rc t secs args passed_line n_pass=0 n_fail=0 n_run=0 note=""
  local status=PASS xml x_tests x_fail x_err
  name=$(basename "$exe" .exe)
  scratch=$work/runs/$name
  mkdir -p "$scratch"
  out=$scratch/output.txt
  args=(--gtest_color=no "--gtest_output=xml:$name.xml")
  [ -n "$filter" ] && args+=("--gtest_filter=$filter")

  echo
  echo "== $name =="
  t=$(now)
  stop_wine
  stop_ports
  start_ports
  start_wine
  say "ports and wineserver ready in $(since "$t") s: $(port_map)"

  t=$(now)
  # Output goes to a file, not a pipe: a Windows process the test left behind would hold a
  # pipe open; the next stop_wine ends such processes.
  cd "$scratch" || die "cannot enter $scratch"
  bounded "$per_program_timeout" "$scratch/output.raw" "${run_env[@]}" wine "$exe" "${args[@]}"
  rc=$?
  cd "$work" || die "cannot enter $work"
  secs=$(since "$t")
  tr -d '\r' <"$scratch/output.raw" >"$out"
  cat "$out"

  passed_line=$(grep -E '^\[  PASSED  \] [0-9]+ tests?\.' "$out" | tail -n1)
  [ -n "$passed_line" ] && n_pass=$(sed -E 's/^\[  PASSED  \] ([0-9]+).*/\1/' <<<"$passed_line")
  n_fail=$(grep -E '^\[  FAILED  \] [0-9]+ tests?, listed below' "$out" | tail -n1 |
    sed -E 's/^\[  FAILED  \] ([0-9]+).*/\1/')
  n_fail=${n_fail:-0}
  n_run=$(grep -E '^\[==========\] [0-9]+ tests? from .* ran\.' "$out" | tail -n1 |
    sed -E 's/^\[==========\] ([0-9]+).*/\1/')
  n_run=${n_run:-0}
  xml=$scratch/$name.xml
  x_tests="" x_fail="" x_err=""
  if [ -s "$xml" ]; then
    x_tests=$(xml_attr "$xml" tests)
    x_fail=$(xml_attr "$xml" failures)
    x_err=$(xml_attr "$xml" errors)
  fi

  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    note="timed out after $per_program_timeout s"
  elif [ $rc -ne 0 ]; then
    note="exit status $rc"
  fi
  if grep -qE '^\[  FAILED  \]' "$out"; then note="${note:+$note; }gtest reported failures"; fi
  if [ -z "$passed_line" ]; then
    note="${note:+$note; }no '[  PASSED  ]' line"
  elif [ "$n_pass" -eq 0 ] && [ -z "$filter" ]; then
    note="${note:+$note; }no test ran"
  fi
  if [ ! -s "$xml" ]; then
    note="${note:+$note; }no XML report"
  elif [ -z "$x_tests" ] || { [ "$x_tests" -eq 0 ] && [ -z "$filter" ]; } ||
    [ "${x_fail:-1}" != 0 ] || [ "${x_err:-1}" != 0 ]; then
    note="${note:+$note; }XML report: tests=${x_tests:-?} failures=${x_fail:-?} errors=${x_err:-?}"
  fi
  if [ -n "$note" ]; then
    status=FAIL
    bad=$((bad + 1))
    # A program that died before gtest counted a failure still counts as one.
    [ "$n_fail" -eq 0 ] && n_fail=1
  elif [ "$n_pass" -eq 0 ]; then
    status=NONE
    note="no test matches the filter"
  fi
  total_run=$((total_run + n_run))
  total_passed=$((total_passed + n_pass))
  total_failed=$((total_failed + n_fail))
  names+=("$name") statuses+=("$status") runs+=("$n_run") passes+=("$n_pass") fails+=("$n_fail")
  times+=("$secs") notes+=("$note")
  say "$name: $status in $secs s${note:+ ($note)}"
}

t_all=$(now)
for exe in "${programs[@]}"; do run_program "$exe"; done
stop_wine
stop_ports

# --- Summary --------------------------------------------------------------------------------------
echo
echo "== Windows tests under $(wine --version 2>/dev/null) (prefix created in $t_prefix s) =="
for i in "${!names[@]}"; do
  printf '  %-28s %-4s %4s run %4s passed %4s failed %7s s  %s\n' "${names[i]}" "${statuses[i]}" \
    "${runs[i]}" "${passes[i]}" "${fails[i]}" "${times[i]}" "${notes[i]}"
done
no_test_note=""
if [ $bad -eq 0 ] && [ "$total_passed" -eq 0 ]; then
  bad=1
  total_failed=1
  no_test_note="no test ran: WINE_TESTS_FILTER='$filter' matches nothing"
fi
printf '  %-28s %-4s %4s run %4s passed %4s failed %7s s  %s\n' "total (${#names[@]} programs)" \
  "$([ $bad -eq 0 ] && echo PASS || echo FAIL)" "$total_run" "$total_passed" "$total_failed" \
  "$(since "$t_all")" "$no_test_note"
echo "wine: $total_passed passed, $total_failed failed"
[ $bad -eq 0 ]
