#!/usr/bin/env bash
# Proves the end-to-end harness on small programs of our own, before the real
# program is driven with it: the sandbox (private loopback network, the two
# site names on 127.0.0.1, nothing beyond), the stand-in sites, the stand-in
# client started by a converted spectate batch, the recording browser, a real
# XDND drop, a real click, a box answered from outside, and a screenshot.
#
#   harness_test.sh            (E2E_BUILD: the Windows build tree)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e-lib.sh"
e2e_session 240

# The display is reached through its file-system socket from this namespace.
e2e_check "x display reachable" bash -c 'xdpyinfo -display "$DISPLAY" >/dev/null'

e2e_check "stand-in sites listening" sites --home-version 14.3.1 --stats-version 14.3.1

# ---- WinINet reaches the stand-ins by name, and nothing else -----------------------------------
fetch() { timeout 60 wine "$E2E_BUILD/tools/http_fetch.exe" "$1" "$(wine_path "$2")"; }
stats_ok() {
  fetch http://www.op.gg/champion/statistics "$work/stats.html" | grep -q "status=200" &&
    grep -qzP 'Korea - Version : 14\.3\.1\n\t\t\t\t</div>\n' "$work/stats.html"
}
home_ok() {
  fetch http://lol.qq.com "$work/home.html" | grep -q "status=200" &&
    grep -qF '<div id="setNum" data-num="14.3.1" data-link=' "$work/home.html"
}
e2e_check "WinINet fetches the statistics page by host name" stats_ok
e2e_check "WinINet fetches the home page by host name" home_ok
e2e_check "requests recorded per host" site_got www.op.gg "^GET /champion/statistics "
no_fetch() { ! fetch "$1" "$work/none.html" | grep -q status=; }
e2e_check "no other name resolves" no_fetch http://example.com/
e2e_check "no address beyond loopback answers" no_fetch http://192.0.2.1/
e2e_check "no name resolves on the Linux side either" bash -c '! getent hosts example.com'
e2e_check "other hosts get 404 from the stand-ins" bash -c "curl -s -o /dev/null -w '%{http_code}' -H 'Host: x.test' http://127.0.0.1/ | grep -q 404"

# ---- the stand-in client, started as a converted batch starts it ------------------------------------
e2e_game_folder "$game"
e2e_expected_ob "$here/data/live_game.bat" >"$game/ob.bat"
e2e_check "sample batch converts to its commands" grep -q '@start "" "League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" "-UseRads"' "$game/ob.bat"
(cd "$game" && timeout 60 wine cmd /c "C:\\Game\\ob.bat" >/dev/null 2>&1)
client_ok() {
  e2e_wait_for "$game/standin_client.log" "cwd=" 20 &&
    # Wine's start rebuilds the command line: the program by its full path,
    # and quotes only around arguments that hold spaces.
    grep -qF 'cmdline="C:\Game\League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" -UseRads -Locale=ko_KR -GameBaseDir=..' "$game/standin_client.log" &&
    grep -qi '^cwd=C:\\Game' "$game/standin_client.log"
}
e2e_check "stand-in client logs its command line and folder" client_ok || cat "$game/standin_client.log"

# ---- the recording browser -------------------------------------------------------------------------
e2e_register_browser 'C:\Game\opened.log'
timeout 60 wine "$E2E_BUILD/tools/open_url.exe" www.op.gg
e2e_check "a bare www. host reaches the browser as http://" e2e_wait_for "$game/opened.log" '"http://www.op.gg"' 15 ||
  cat "$game/opened.log"

# ---- a real drop of two files from an X source -----------------------------------------------------------
mkdir -p "$work/batches/with space"
cp "$here/data/live_game.bat" "$work/batches/a.bat"
cp "$here/data/live_game.bat" "$work/batches/with space/观战 2.bat"
timeout 60 wine "$E2E_BUILD/tools/drop_recorder.exe" "$(wine_path "$work/drop.log")" 30000 100 100 400 300 &
recorder=$!
e2e_wait_for "$work/drop.log" "ready" 30
e2e_check "XDND drag completes" e2e_xdnd_drag 300 250 "$work/batches/a.bat" "$work/batches/with space/观战 2.bat"
wait $recorder
drop_ok() {
  grep -q '^enter .*formats=.*CF_HDROP(15)' "$work/drop.log" &&
    grep -q '^drop .* count=2' "$work/drop.log" &&
    [ "$(grep -c '^file=' "$work/drop.log")" -eq 2 ] &&
    grep -qF "file=Z:${work//\//\\}\\batches\\a.bat" "$work/drop.log" &&
    grep -qxF $'file=Z:'"${work//\//\\}"$'\\batches\\with space\\观战 2.bat\r' "$work/drop.log"
}
e2e_check "drop target gets both paths as CF_HDROP entries" drop_ok || cat "$work/drop.log"

# ---- a real click, a box answered from outside, a screenshot --------------------------------------------------
timeout 60 wine "$E2E_BUILD/tools/drop_recorder.exe" "$(wine_path "$work/click.log")" 20000 200 150 300 200 &
recorder=$!
e2e_wait_for "$work/click.log" "ready" 30
win=$(e2e_window drop_recorder 20)
read -r wx wy ww wh <<<"$(e2e_geometry "$win")"
e2e_check "window found by title" test -n "$win"
e2e_click $((wx + ww / 2)) $((wy + wh / 2))
e2e_wait_for "$work/click.log" "click" 10
e2e_screenshot "$work/shot.png"
e2e_check "screenshot is a PNG of the screen" bash -c "identify '$work/shot.png' | grep -q 'PNG 1280x1024'"
e2e_answer_box drop_recorder 1 "$work/box.txt" 15000
box_ok() {
  [ "$(e2e_box_field "$work/box.txt" found)" = 1 ] &&
    [ "$(e2e_box_field "$work/box.txt" text_utf8)" = "收到点击" ] &&
    [ "$(e2e_box_field "$work/box.txt" text_hex)" = "cad5b5bdb5e3bbf7" ] &&
    [ "$(e2e_box_field "$work/box.txt" buttons)" = "1,2" ]
}
e2e_check "box read from outside" box_ok || cat "$work/box.txt"
e2e_check "click reached the window and the box was answered with OK" e2e_wait_for "$work/click.log" "box result=1" 10 ||
  cat "$work/click.log"
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null

e2e_result
