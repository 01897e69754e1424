#!/usr/bin/env bash
# A dropped file that is one long line of 1 MB, its block at the end, must
# convert byte for byte, and the window must still answer a close afterwards.
# The waits are generous: this catches a tool that freezes, whatever the
# machine; scripts/bench-drop.sh measures how fast it is.
#
#   large_drop_test.sh          (E2E_BUILD: the Windows build tree)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e-lib.sh"
e2e_session 240

/usr/bin/python3 "$here/make_batch.py" one-line 1048576 "$work/page.bat"
e2e_expected_ob "$work/page.bat" >"$work/expected.bat"

sites --home-version 14.3.1 --stats-version 14.3.1
e2e_game_folder "$game"
start_tool "$game"
e2e_check "window comes up" read_window || cat "$work/window.txt"
E2E_DROP_TIMEOUT=60 drop "$work/page.bat"
e2e_check "a 1 MB line converts byte for byte" same_file "$work/expected.bat" "$game/ob.bat"
e2e_check "and its batch starts the client" e2e_wait_for "$game/standin_client.log" "key 789 KR" 20
e2e_check "the window then answers a close, and the program ends with 0" end_tool
e2e_result
