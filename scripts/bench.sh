#!/usr/bin/env bash
# Builds the benchmarks in a Release native tree and runs them. Extra
# arguments go to each benchmark program (e.g. --benchmark_filter=FindText).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${BRISVALE_BUILD_DIR:-$root/build}/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRISVALE_BENCH=ON -DBRISVALE_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "${BRISVALE_JOBS:-$(nproc)}" --target brisvale_benchmarks
for bench in "$build"/tests/bench/*_bench; do
  echo "== $(basename "$bench")"
  "$bench" "$@"
done
