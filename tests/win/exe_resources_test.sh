#!/usr/bin/env bash
# Runs exe_resources_test.exe under Wine against the built Brisvale.exe, with
# what its resources must say worked out here from the tree itself: the version
# from the project line of CMakeLists.txt, the commit from git. The release is
# the commit tagged v<version> with nothing changed; every other build must
# name its commit (with "-modified" when the tree differs from it).
#
#   tests/win/exe_resources_test.sh path/to/exe_resources_test.exe [gtest arguments...]
#   BVTEST_EXE_UNIX   the exe to check (default: bin/Brisvale.exe of the build)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-lib.sh"
[ $# -ge 1 ] || { echo "usage: exe_resources_test.sh program.exe [args...]" >&2; exit 2; }

exe=${BVTEST_EXE_UNIX:-${BRISVALE_TOOLS:?run through ctest or set BVTEST_EXE_UNIX}/../bin/Brisvale.exe}
[ -f "$exe" ] || { echo "exe_resources_test.sh: no $exe" >&2; exit 2; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")

version=$(sed -n 's/^project(Brisvale VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "exe_resources_test.sh: no project version in CMakeLists.txt" >&2; exit 2; }
if commit=$(git -C "$root" rev-parse HEAD 2>/dev/null); then
  if [ -n "$(git -C "$root" status --porcelain)" ]; then
    private="$commit-modified"
  elif git -C "$root" tag --points-at HEAD | grep -qx "v$version"; then
    private=""
  else
    private=$commit
  fi
else
  private="unknown commit"
fi
echo "expecting version $version, PrivateBuild '${private:-<none: the release>}'"

export BVTEST_VERSION=$version BVTEST_PRIVATE_BUILD=$private
BVTEST_EXE=$(wine_path "$exe")
export BVTEST_EXE
"$root/scripts/wine-exec.sh" "$@"
