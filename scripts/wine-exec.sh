#!/usr/bin/env bash
# Runs one Windows program under Wine the way every Windows-side test runs:
# in a fresh prefix of its own (a copy of a template made once per build) with
# its own server, on an X display (Xvfb when none is given), in the locale
# BRISVALE_LOCALE names (zh_CN.UTF-8, ANSI code page 936, unless told; see
# wine-lib.sh). Exits with the program's exit code (Wine folds it to 0..255).
#
# Each program gets a private Xvfb too, so that tests running side by side
# cannot click into, cover or take the focus from each other's windows.
#
# Environment: BRISVALE_WINE_TEMPLATE (template prefix; made here when missing),
# BRISVALE_USE_DISPLAY=1 uses $DISPLAY instead of a private Xvfb,
# BRISVALE_KEEP_PREFIX=1 keeps the prefix for a look.
set -uo pipefail
. "$(dirname "$0")/wine-lib.sh"

[ $# -ge 1 ] || { echo "usage: wine-exec.sh program.exe [args...]" >&2; exit 2; }

if [ "${BRISVALE_USE_DISPLAY:-0}" = 1 ]; then wine_ensure_display || exit 2; else wine_ensure_display --private || exit 2; fi
WINEPREFIX=$(wine_fresh_prefix) || exit 2
export WINEPREFIX
rc=2
wine_start_server && { wine_fixed_layout wine "$@"; rc=$?; }
wine_end_server
wine_remove_prefix "$WINEPREFIX"
wine_stop_display
exit $rc
