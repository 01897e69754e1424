#!/usr/bin/env bash
# Runs one Windows program under Wine the way every Windows-side test runs:
# in a fresh prefix of its own (a copy of a template made once per build), on an
# X display (Xvfb when none is given), with the Chinese locale so that the ANSI
# code page is 936. Exits with the program's exit code (Wine folds it to 0..255).
#
# Environment: BRISVALE_WINE_TEMPLATE (template prefix; made here when missing),
# DISPLAY (used when it answers), BRISVALE_KEEP_PREFIX=1 keeps the prefix for a look.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-lib.sh
. "$here/wine-lib.sh"

[ $# -ge 1 ] || { echo "usage: wine-exec.sh program.exe [args...]" >&2; exit 2; }

wine_ensure_display || exit 2
prefix=$(wine_fresh_prefix) || exit 2
export WINEPREFIX=$prefix

wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
[ "${BRISVALE_KEEP_PREFIX:-0}" = 1 ] && echo "prefix kept: $prefix" >&2 || rm -rf "$prefix"
wine_stop_display
exit $rc
