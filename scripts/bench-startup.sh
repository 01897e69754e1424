#!/usr/bin/env bash
# Benchmark of start-up (not a test): Brisvale.exe against the bare program in
# ../shared/bench/startup_baseline.cpp, which does the same window work with
# the same calls and nothing else, linked with Brisvale's own application
# manifest: loading the version 6 common controls the manifest asks for costs
# any program about 15% of its start under Wine, and the yardstick must pay it
# too. Both run under Wine from one Game folder, with both pages served by the
# local stand-in sites in the sandbox of the end-to-end tests, alternating,
# one warm-up each and then ROUNDS each. A run is timed from its start to its
# window showing on the screen; then it is ended and the next one starts.
# Builds what it needs; prints both medians and both minimums, the ratio of
# the medians last (at 0.2 s a start, single events decide a minimum).
#
#   scripts/bench-startup.sh [ROUNDS]      (default 21)
#   BRISVALE_SHARED_DIR=DIR                where shared/ is when not beside the checkout
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/e2e/e2e-lib.sh"
baseline=$E2E_BUILD/bench/startup_baseline.exe
if ! e2e_inside; then
  baseline_src=${BRISVALE_SHARED_DIR:-$root/../shared}/bench/startup_baseline.cpp
  [ -f "$baseline_src" ] || {
    echo "bench-startup.sh: the bare program is missing: $baseline_src" >&2
    echo "(a checkout has shared/ beside it; elsewhere set BRISVALE_SHARED_DIR)" >&2
    exit 2
  }
  build_win Brisvale standin_client || exit 2
  mkdir -p "$(dirname "$baseline")"
  # Built as its own first lines say, plus the manifest resource.
  x86_64-w64-mingw32-windres -I "$root/res" -O coff -o "$baseline.manifest.o" "$root/res/manifest.rc" &&
    x86_64-w64-mingw32-g++-posix -O2 -static -mwindows -o "$baseline" "$baseline_src" "$baseline.manifest.o" \
      -lwininet -lole32 -luuid -lshell32 || { echo "bench-startup.sh: the bare program did not build" >&2; exit 2; }
fi
e2e_session 1800 "$@"
rounds=${1:-21}
e2e_game_folder "$game"
cp "$E2E_BUILD/bin/Brisvale.exe" "$baseline" "$game/"
sites --lifetime 1800 --home-version 14.3.1 --stats-version 14.3.1 ||
  { echo "bench-startup.sh: the stand-in sites did not start" >&2; exit 2; }

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
for _ in $(seq 1 "$rounds"); do
  run_once Brisvale.exe >>"$work/tool.ms" || exit 1
  run_once startup_baseline.exe >>"$work/bare.ms" || exit 1
done
stats() { sort -n "$1" | awk '{a[NR] = $1} END {printf "%d %d", a[int((NR + 1) / 2)], a[1]}'; }
read -r tool_median tool_min <<<"$(stats "$work/tool.ms")"
read -r bare_median bare_min <<<"$(stats "$work/bare.ms")"
echo "rounds=$rounds (after one warm-up each), ms from start to window shown"
echo "Brisvale.exe median=$tool_median min=$tool_min"
echo "startup_baseline.exe (with the same manifest) median=$bare_median min=$bare_min"
awk -v a="$tool_min" -v b="$bare_min" 'BEGIN {printf "Brisvale / bare (minimums) = %.2f\n", a / b}'
awk -v a="$tool_median" -v b="$bare_median" 'BEGIN {printf "Brisvale / bare (medians) = %.2f\n", a / b}'
