#!/usr/bin/env bash
# Builds and runs the whole suite three times: plain, under ASan+UBSan, and the threaded
# tests (label "threads") under TSan; then builds the Windows program and runs its tests
# under Wine. Stops at the first red run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"

run() {  # dir, label-filter, cmake args...
  local dir=$1 filter=$2; shift 2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure $filter)
}

echo "== plain build =="
run build ""
echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
run build-asan "" -DTANDEMIX_SANITIZE=address,undefined
echo "== ThreadSanitizer (threaded tests) =="
run build-tsan "-L threads" -DTANDEMIX_SANITIZE=thread
echo "== Windows program under Wine =="
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=platform/win32/toolchain-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 -j "$jobs"
scripts/wine-tests.sh build-win32
