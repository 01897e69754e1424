#!/usr/bin/env bash
# Builds Brisvale.exe and starts it under Wine (on your display when there is
# one, else on a private Xvfb). Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
build=${BRISVALE_BUILD_DIR:-$root/build}
cmake -S . -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/win" --target Brisvale
set +e
BRISVALE_USE_DISPLAY=1 scripts/wine-exec.sh "$build/win/bin/Brisvale.exe"
rc=$?
echo "Brisvale.exe exited with code $rc"
exit $rc
