#!/usr/bin/env bash
# Benchmark of start-up (not a test): Brisvale.exe against the bare program in
# ../shared/bench/startup_baseline.cpp, which does the same window work with
# the same calls and nothing else. Both run under Wine from one Game folder,
# with both pages served by the local stand-in sites in the sandbox of the
# end-to-end tests, alternating, one warm-up each and then ROUNDS each. A run
# is timed from its start to its window showing on the screen; then it is
# ended and the next one starts. Builds what it needs; prints both medians and
# both minimums, the ratio of the minimums last.
#
#   scripts/bench-startup.sh [ROUNDS]      (default 21)
#   BRISVALE_SHARED_DIR=DIR                where shared/ is when not beside the checkout
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
e2e=$root/tests/e2e

if [ "${1:-}" != --inner ]; then
  rounds=${1:-21}
  baseline_src=${BRISVALE_SHARED_DIR:-$root/../shared}/bench/startup_baseline.cpp
  [ -f "$baseline_src" ] || {
    echo "bench-startup.sh: the bare program is missing: $baseline_src" >&2
    echo "(a checkout has shared/ beside it; elsewhere set BRISVALE_SHARED_DIR)" >&2
    exit 2
  }
  build=${BRISVALE_BUILD_DIR:-$root/build}
  cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$build/win" -j "${BRISVALE_JOBS:-$(nproc)}" --target Brisvale standin_client >/dev/null ||
    { echo "bench-startup.sh: the Windows build failed" >&2; exit 2; }
  mkdir -p "$build/win/bench"
  baseline=$build/win/bench/startup_baseline.exe
  # Built as its own first lines say.
  x86_64-w64-mingw32-g++-posix -O2 -static -mwindows -o "$baseline" "$baseline_src" \
    -lwininet -lole32 -luuid -lshell32 || { echo "bench-startup.sh: the bare program did not build" >&2; exit 2; }

  . "$root/scripts/wine-lib.sh"
  . "$e2e/e2e-lib.sh"
  export E2E_BUILD=$build/win BENCH_ROUNDS=$rounds BENCH_BASELINE=$baseline
  e2e_sandboxed "$0" 1800
  exit $?
fi

# ---- inside the sandbox ------------------------------------------------------------------
. "$root/scripts/wine-lib.sh"
. "$e2e/e2e-lib.sh"
work=$E2E_WORK
game=$WINEPREFIX/drive_c/Game
e2e_game_folder "$game"
cp "$E2E_BUILD/bin/Brisvale.exe" "$BENCH_BASELINE" "$game/"

/usr/bin/python3 "$e2e/standin_sites.py" --port 80 --lifetime 1800 --ready-file "$work/sites.ready" \
  --home-version 14.3.1 --stats-version 14.3.1 &
sites=$!
e2e_wait_for "$work/sites.ready" "" 10 || { echo "bench-startup.sh: the stand-in sites did not start" >&2; exit 2; }
wineserver -p >/dev/null 2>&1  # one server for every run, started before any is timed

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# run_once EXE: milliseconds from the start of EXE to its window on the screen.
run_once() {
  local start pid ms="" i
  start=$(now_ms)
  wine "C:\\Game\\$1" >/dev/null 2>&1 &
  pid=$!
  for i in $(seq 1 3000); do
    if xdotool search --onlyvisible --name '^Brisvale$' >/dev/null 2>&1; then ms=$(($(now_ms) - start)); break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  for i in $(seq 1 500); do
    xdotool search --onlyvisible --name '^Brisvale$' >/dev/null 2>&1 || break
    sleep 0.01
  done
  [ -n "$ms" ] || { echo "bench-startup.sh: $1 showed no window" >&2; return 1; }
  echo "$ms"
}

run_once Brisvale.exe >/dev/null && run_once startup_baseline.exe >/dev/null || exit 1
: >"$work/tool.ms"
: >"$work/bare.ms"
for _ in $(seq 1 "$BENCH_ROUNDS"); do
  run_once Brisvale.exe >>"$work/tool.ms" || exit 1
  run_once startup_baseline.exe >>"$work/bare.ms" || exit 1
done
kill "$sites" 2>/dev/null
wineserver -k >/dev/null 2>&1

stats() { sort -n "$1" | awk '{a[NR] = $1} END {printf "%d %d", a[int((NR + 1) / 2)], a[1]}'; }
read -r tool_median tool_min <<<"$(stats "$work/tool.ms")"
read -r bare_median bare_min <<<"$(stats "$work/bare.ms")"
echo "rounds=$BENCH_ROUNDS (after one warm-up each), ms from start to window shown"
echo "Brisvale.exe median=$tool_median min=$tool_min"
echo "startup_baseline.exe median=$bare_median min=$bare_min"
awk -v a="$tool_median" -v b="$bare_median" 'BEGIN {printf "Brisvale / bare (medians) = %.2f\n", a / b}'
awk -v a="$tool_min" -v b="$bare_min" 'BEGIN {printf "Brisvale / bare (minimums) = %.2f\n", a / b}'
