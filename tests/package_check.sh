#!/usr/bin/env bash
# Builds the release zip twice and checks what a player downloads: the same
# zip both times, byte for byte; the exe in it is the one the tests ran; the
# entries, their order and times; the checksums; the guide as Notepad needs it;
# the screenshot of the whole window; an exe header without a link time.
#
#   tests/package_check.sh SHA256-OF-THE-TESTED-EXE
#   BRISVALE_BUILD_DIR   build folder (default: build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ $# -eq 1 ] || { echo "usage: package_check.sh sha256-of-tested-exe" >&2; exit 2; }
tested=$1
build=${BRISVALE_BUILD_DIR:-$root/build}
failed=0
check() {  # description command...
  local what=$1
  shift
  if "$@"; then echo "PASS $what"; else echo "FAIL $what"; failed=1; fi
}

BRISVALE_BUILD_DIR=$build scripts/package.sh | tee "$build/package.log" || exit 1
zip=$(tail -n 1 "$build/package.log")
first=$build/package-first.zip
cp "$zip" "$first"
BRISVALE_BUILD_DIR=$build scripts/package.sh >"$build/package-second.log" || exit 1
check "a second run gives the same zip" cmp "$first" "$zip"

work=$(mktemp -d "${TMPDIR:-/tmp}/brisvale-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"

packaged=$(sha256sum "$work/Brisvale.exe" | cut -d' ' -f1)
echo "tested exe $tested, packaged exe $packaged"
check "the packaged exe is the tested one" test "$packaged" = "$tested"

names=$(unzip -Z1 "$zip" | tr '\n' ' ')
check "entries in their order: $names" \
  test "$names" = "Brisvale.exe README-zh-CN.txt window.png LICENSE.txt THIRD-PARTY.txt SHA256SUMS "
times=$(unzip -Z -T "$zip" | awk '$7 ~ /^[0-9]+\.[0-9]+$/ { print $7 }' | sort -u | tr '\n' ' ')
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
stamp=$(date -u -d "@$((epoch - epoch % 2))" +%Y%m%d.%H%M%S)  # zip times count in 2 s steps
check "every entry has the time SOURCE_DATE_EPOCH or the commit gives: $times" test "$times" = "$stamp "
check "SHA256SUMS holds for every other entry" \
  bash -c "cd '$work' && sha256sum --quiet -c SHA256SUMS && test \$(wc -l <SHA256SUMS) = 5"

guide=$work/README-zh-CN.txt
check "the guide starts with a UTF-8 byte order mark" test "$(head -c 3 "$guide" | od -An -tx1 | tr -d ' ')" = efbbbf
check "the guide is UTF-8" iconv -f UTF-8 -t UTF-8 -o /dev/null "$guide"
check "the guide ends every line with CR LF" test "$(tr -cd '\n' <"$guide" | wc -c)" = "$(grep -c $'\r$' "$guide")"
check "the guide points to the screenshot" grep -q 'window.png' "$guide"
check "the screenshot is the whole 323x136 window" test "$(identify -format %wx%h "$work/window.png")" = 323x136

check "the exe header carries no link time" \
  bash -c "x86_64-w64-mingw32-objdump -p '$work/Brisvale.exe' | grep -q 'Time/Date.*1970'"

[ $failed = 0 ] && echo "package checks passed" || echo "SOME PACKAGE CHECKS FAILED"
exit $failed
