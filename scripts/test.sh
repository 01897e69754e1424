#!/usr/bin/env bash
# Builds both trees and runs every test: the native tree (portable code, with
# AddressSanitizer and UndefinedBehaviorSanitizer), the mutation run's own
# check, the fuzzers for a bounded time, the Windows tree under Wine, and the
# release package. Installs what is missing first. A compiler warning fails
# the build of any of the three trees.
#
#   scripts/test.sh            everything
#   BRISVALE_JOBS=N            parallel build jobs (default: number of cores)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh

jobs=${BRISVALE_JOBS:-$(nproc)}
build=${BRISVALE_BUILD_DIR:-$root/build}
status=0

echo "== native tree (sanitizers on)"
cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRISVALE_SANITIZE=ON -DBRISVALE_WERROR=ON >/dev/null
cmake --build "$build/native" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$build/native" --output-on-failure -j "$jobs" || status=1

echo "== the mutation run's own check (known mutants caught, the unmutated copy passing)"
python3 scripts/mutate.py --check --work "$build/mutate" -j "$jobs" || status=1

if [ -d tests/fuzz ]; then
  echo "== fuzzers (clang, libFuzzer)"
  CC=clang CXX=clang++ cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRISVALE_FUZZ=ON -DBRISVALE_BUILD_TESTS=ON -DBRISVALE_WERROR=ON >/dev/null
  cmake --build "$build/fuzz" -j "$jobs" --target brisvale_fuzzers
  ctest --test-dir "$build/fuzz" --output-on-failure -L fuzz -j "$jobs" || status=1
fi

echo "== Windows tree (MinGW-w64, tests under Wine)"
. scripts/wine-lib.sh
BRISVALE_WERROR=ON BRISVALE_BUILD_DIR=$build build_win
tested_exe=$(sha256sum "$build/win/bin/Brisvale.exe" | cut -d' ' -f1)
# A template prefix made afresh by this run; every test program gets a copy.
export BRISVALE_WINE_TEMPLATE="$build/win/wine-template"
rm -rf "$BRISVALE_WINE_TEMPLATE" "$BRISVALE_WINE_TEMPLATE.lock"
(wine_ensure_display --private && wine_template >/dev/null; wine_stop_display)
ctest --test-dir "$build/win" --output-on-failure -j "$jobs" || status=1

echo "== release package (twice; the exe in it must be the one the tests ran)"
BRISVALE_BUILD_DIR=$build tests/package_check.sh "$tested_exe" || status=1

if [ $status -ne 0 ]; then echo "SOME TESTS FAILED"; else echo "ALL TESTS PASSED"; fi
exit $status
