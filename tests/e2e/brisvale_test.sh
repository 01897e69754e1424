#!/usr/bin/env bash
# Drives the real Brisvale.exe as a user would, in the sandbox of sandbox.sh:
# stand-in sites on 127.0.0.1:80 under the two real host names, a Game folder
# with a stand-in client, real XDND drops from an X source, real clicks, boxes
# read and answered from outside, the window's texts read from outside in
# wide characters. One scenario per function below; each starts the program
# afresh (from another working folder than its own).
#
#   brisvale_test.sh [SCENARIO...]   the named scenarios in the order given;
#                                    all of them when none is named
# Scenarios: equal spaces differ down one-down missing texts buttons.
# Environment: BRISVALE_LOCALE (the Unix locale Wine runs in, which sets the
# ANSI code page; zh_CN.UTF-8 unless told), E2E_BUILD (the Windows build
# tree), BRISVALE_ARTIFACTS (where screenshots go).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
all_scenarios="equal spaces differ down one-down missing texts buttons"
for s in "$@"; do
  case " $all_scenarios " in *" $s "*) ;; *) echo "no scenario $s (have: $all_scenarios)" >&2; exit 2 ;; esac
done
. "$here/e2e-lib.sh"
e2e_session 540 "$@"
drive=$WINEPREFIX/drive_c
artifacts=${BRISVALE_ARTIFACTS:-$work/artifacts}
mkdir -p "$artifacts" "$work/batches"
locale_tag=${BRISVALE_LOCALE%%.*}

# Batches to drop: the sample, a variant with another game key, the markers in
# other letter case, one without the left marker, one without "goto :eof".
sample=$here/data/live_game.bat
cp "$sample" "$work/batches/first.bat"
sed 's/key 123 KR/key 456 KR/' "$sample" >"$work/batches/second.bat"
sed 's/if exist "League of Legends.exe" (/IF EXIST "league of legends.EXE" (/; s/goto :eof/GOTO :EOF/' \
  "$sample" >"$work/batches/upper case.bat"
sed 's/if exist "League of Legends.exe" (/if exist "client.exe" (/' "$sample" >"$work/batches/no-left.bat"
sed 's/goto :eof/exit \/b/' "$sample" >"$work/batches/no-right.bat"

# begin GAME_NAME SITE_OPTIONS...: the sites started with the options, a Game
# folder C:\GAME_NAME with the stand-in client, the tool started in it.
begin() {
  game=$drive/$1
  shift
  sites "$@"
  e2e_game_folder "$game"
  start_tool "$game"
}

count_runs() { grep -c '^cmdline=' "$1" 2>/dev/null || echo 0; }

# A request as the site received it: exactly the request line, the host, the
# agent and the one Accept header, in any order after the first line.
request_ok() {
  local host=$1 line=$2
  site_log "$host" | /usr/bin/python3 -c '
import sys
text = sys.stdin.buffer.read().decode("latin-1")
blocks = [b for b in text.split("=== request ") if b.strip()]
if len(blocks) != 1:
    sys.exit(f"{len(blocks)} requests")
lines = blocks[0].split("\n")[1:]
lines = [l.rstrip("\r") for l in lines if l.strip()]
want_first = sys.argv[1]
want = {"Host: " + sys.argv[2], "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", "Accept: */*"}
if lines[0] != want_first or set(lines[1:]) != want or len(lines) != 4:
    sys.exit(f"got {lines!r}")
' "$line" "$host"
}

# gbk_hex TEXT: the GBK bytes of a UTF-8 text, in hex as the helpers report them.
gbk_hex() { printf '%s' "$1" | iconv -f UTF-8 -t GBK | od -An -tx1 | tr -d ' \n'; }

wait_text="必须国服韩服版本一致才能够OB，请等待国服版本的更新"

# ==== Equal versions, Game folder C:\Game ==========================================================
scenario_equal() {
begin Game --home-version 14.3.1 --stats-version 14.3.1
e2e_check "equal: window comes up" read_window || cat "$work/window.txt"
e2e_check "equal: Chinese-server version shown" test "$(label3)" = "14.3.1"
e2e_check "equal: Korean-server version shown" test "$(label4)" = "14.3.1"
e2e_check "equal: home page request line, agent and Accept" \
  request_ok lol.qq.com "GET / HTTP/1.0"
e2e_check "equal: statistics request line, agent and Accept" \
  request_ok www.op.gg "GET /champion/statistics HTTP/1.0"

e2e_expected_ob "$work/batches/first.bat" >"$work/expected-first.bat"
drop "$work/batches/first.bat"
e2e_check "equal: dropped batch becomes ob.bat byte for byte" \
  same_file "$work/expected-first.bat" "$game/ob.bat" || od -c "$game/ob.bat" | head
client_first() {
  e2e_wait_for "$game/standin_client.log" "cwd=" 20 &&
    grep -qF 'cmdline="C:\Game\League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" -UseRads -Locale=ko_KR -GameBaseDir=..' \
      "$game/standin_client.log" &&
    grep -qxF $'cwd=C:\\Game\r' "$game/standin_client.log"
}
e2e_check "equal: batch ran in the Game folder and started the client to spectate" client_first ||
  cat "$game/standin_client.log"

drop "$work/batches/second.bat"
e2e_expected_ob "$work/batches/second.bat" >"$work/expected-second.bat"
client_second() { e2e_wait_for "$game/standin_client.log" "key 456 KR" 20 && [ "$(count_runs "$game/standin_client.log")" = 2 ]; }
e2e_check "equal: a second drop runs the new batch" client_second || cat "$game/standin_client.log"
e2e_check "equal: a second drop overwrites ob.bat" same_file "$work/expected-second.bat" "$game/ob.bat"

drop "$work/batches/upper case.bat"
e2e_expected_ob "$work/batches/upper case.bat" >"$work/expected-upper.bat"
e2e_check "equal: markers in other letter case still convert" \
  same_file "$work/expected-upper.bat" "$game/ob.bat" && test -s "$game/ob.bat"
# That batch's run is counted before the batches that must start none.
runs_reach() { [ "$(count_runs "$game/standin_client.log")" -ge "$1" ]; }
e2e_until 20 runs_reach 3
batches_done

local runs bad holder
runs=$(count_runs "$game/standin_client.log")
for bad in no-left.bat no-right.bat; do
  printf 'x' >"$game/ob.bat"
  drop "$work/batches/$bad"
  e2e_check "equal: $bad gives an empty ob.bat" empty_file "$game/ob.bat"
done
printf 'x' >"$game/ob.bat"
drop "$work/batches/first.bat" "$work/batches/second.bat"
e2e_check "equal: several files at once give an empty ob.bat" empty_file "$game/ob.bat"
batches_done
e2e_check "equal: empty batches start no client" test "$(count_runs "$game/standin_client.log")" = "$runs"

# ob.bat held open by another program: it cannot be replaced, and what the
# folder holds under that name (here a batch that would start the client) is
# not run either.
e2e_expected_ob "$work/batches/first.bat" >"$game/ob.bat"
runs=$(count_runs "$game/standin_client.log")
e2e_check "held: another program holds ob.bat" hold_file 'C:\Game\ob.bat'
drop "$work/batches/second.bat"
batches_done
e2e_check "held: ob.bat that cannot be written keeps its old content" cmp "$work/expected-first.bat" "$game/ob.bat"
e2e_check "held: and the old batch is not run" test "$(count_runs "$game/standin_client.log")" = "$runs"
release_file

e2e_check "equal: closing the window ends the program with 0" end_tool
}

# ==== A Game folder whose path holds spaces and Chinese ==================================================
scenario_spaces() {
sites --home-version 14.3.1 --stats-version 14.3.1
local spaced="$drive/Program Files/Tencent Games/英雄联盟/Game"
e2e_game_folder "$spaced"
e2e_expected_ob "$work/batches/first.bat" >"$work/expected-first.bat"
# What an unquoted command line would start first.
cp "$E2E_BUILD/tools/standin_client.exe" "$drive/Program.exe"
start_tool "$spaced"
versions_shown() { read_window && [ "$(label3)/$(label4)" = "$1" ]; }
e2e_check "spaces: window comes up with both versions" versions_shown 14.3.1/14.3.1
drop "$work/batches/first.bat"
e2e_check "spaces: ob.bat written in the Game folder" same_file "$work/expected-first.bat" "$spaced/ob.bat"
client_spaced() {
  e2e_wait_for "$spaced/standin_client.log" "cwd=" 20 &&
    grep -qF 'cmdline="C:\Program Files\Tencent Games\英雄联盟\Game\League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" -UseRads -Locale=ko_KR -GameBaseDir=..' \
      "$spaced/standin_client.log" &&
    grep -qxF $'cwd=C:\\Program Files\\Tencent Games\\英雄联盟\\Game\r' "$spaced/standin_client.log"
}
e2e_check "spaces: the batch started the client from its folder" client_spaced || cat "$spaced/standin_client.log"
e2e_check "spaces: no program named by the path's first word started" test ! -e "$drive/standin_client.log"
rm -f "$drive/Program.exe"
e2e_check "spaces: closing the window ends the program with 0" end_tool
}

# ==== Versions differ ========================================================================================
scenario_differ() {
begin Game3 --home-version 14.3.1 --stats-version 14.4.1
read_window
e2e_check "differ: both versions shown" test "$(label3)/$(label4)" = "14.3.1/14.4.1"
drop_answering_box "$work/box.txt" "$work/batches/first.bat"
differ_box() {
  [ "$(e2e_box_field "$work/box.txt" found)" = 1 ] &&
    [ "$(e2e_box_field "$work/box.txt" text_utf8)" = "$wait_text" ] &&
    [ "$(e2e_box_field "$work/box.txt" caption_utf8)" = "信息：" ] &&
    [ "$(e2e_box_field "$work/box.txt" text_hex)" = "$(gbk_hex "$wait_text")" ] &&
    [ "$(e2e_box_field "$work/box.txt" caption_hex)" = "d0c5cfa2a3ba" ] &&
    [ "$(e2e_box_field "$work/box.txt" buttons)" = "1" ] &&
    [ "$(e2e_box_field "$work/box.txt" icon)" = "0" ]
}
e2e_check "differ: a drop shows the wait-for-update box, its text exact in wide characters" differ_box ||
  cat "$work/box.txt"
batches_done
e2e_check "differ: no ob.bat written" test ! -e "$game/ob.bat"
e2e_check "differ: no client started" test ! -e "$game/standin_client.log"
e2e_check "differ: closing the window ends the program with 0" end_tool
}

# ==== Both sites down: both versions empty, and equal ========================================================
scenario_down() {
sites --home-down --stats-down
game=$drive/Game4
e2e_game_folder "$game"
e2e_expected_ob "$work/batches/first.bat" >"$work/expected-first.bat"
start_tool "$game"
read_window
e2e_check "down: both versions empty" test "$(label3)/$(label4)" = "/"
drop "$work/batches/first.bat"
e2e_check "down: empty versions count as equal, the batch converts" same_file "$work/expected-first.bat" "$game/ob.bat"
e2e_check "down: and runs" e2e_wait_for "$game/standin_client.log" "cwd=" 20
end_tool
}

# ==== One site down: the versions differ =====================================================================
scenario_one_down() {
begin Game5 --home-version 14.3.1 --stats-down
read_window
e2e_check "one down: one version shown, the other empty" test "$(label3)/$(label4)" = "14.3.1/"
drop_answering_box "$work/box5.txt" "$work/batches/first.bat"
e2e_check "one down: a drop shows the wait-for-update box" \
  test "$(e2e_box_field "$work/box5.txt" text_utf8)" = "$wait_text"
e2e_check "one down: no ob.bat written" test ! -e "$game/ob.bat"
end_tool
}

# ==== Client missing: the placement box, then the program ends by itself ========================================
scenario_missing() {
sites --home-version 14.3.1 --stats-version 14.3.1
game=$drive/NotGame
start_tool "$game"
e2e_answer_box "信息：" 1 "$work/box6.txt" 30000
missing_box() {
  local want='请把程序放入X:\腾讯游戏\英雄联盟\Game 里'
  [ "$(e2e_box_field "$work/box6.txt" found)" = 1 ] &&
    [ "$(e2e_box_field "$work/box6.txt" text_utf8)" = "$want" ] &&
    [ "$(e2e_box_field "$work/box6.txt" text_hex)" = "$(gbk_hex "$want")" ] &&
    [ "$(e2e_box_field "$work/box6.txt" caption_hex)" = "d0c5cfa2a3ba" ] &&
    [ "$(e2e_box_field "$work/box6.txt" buttons)" = "1" ]
}
e2e_check "missing: the box tells where to put the tool" missing_box || cat "$work/box6.txt"
e2e_check "missing: after the box the program ends with 0" tool_exited 20
both_fetched() { site_got lol.qq.com '^GET / ' && site_got www.op.gg '^GET /champion/statistics '; }
e2e_check "missing: both pages were fetched all the same" both_fetched
e2e_check "missing: nothing written" test ! -e "$game/ob.bat"
reap_tool
}

# ==== The window's texts, as a screen reader reads them ============================================================
scenario_texts() {
begin Game7 --home-version 14.3.1 --stats-version 14.4.1
e2e_check "texts: window comes up" read_window || cat "$work/window.txt"
# Every text the window shows, exact, read with WM_GETTEXT in wide characters
# (text_utf8) and the same in GBK (text_hex). CR LF in a caption shows as \r\n.
texts_ok() {
  /usr/bin/python3 - "$work/window.txt" <<'PY'
import re, sys
want = {  # client position -> text, as the template gives it
    "8,0": "请将下载的BAT文件拖到这里", "16,56": "国服版本：", "16,80": "韩服版本：",
    "80,56": "14.3.1", "80,80": "14.4.1", "112,56": "创建桌面快捷方式", "248,56": "OP.GG\r\n",
    "232,80": "By：Corvane", None: "Brisvale",
}
def shown(text):
    return text.replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t")
got = {}
for line in open(sys.argv[1], encoding="utf-8").read().splitlines():
    m = re.match(r"(?:window|child .* client=(-?\d+,-?\d+),\S*) .*text_hex=([0-9a-f]*) text_utf8=(.*)$", line)
    if m:
        got.setdefault(m.group(1), (m.group(2), m.group(3)))
bad = [f"{pos}: got {got.get(pos)!r}, want {shown(text)!r} = {text.encode('gbk').hex()}"
       for pos, text in want.items() if got.get(pos) != (text.encode("gbk").hex(), shown(text))]
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
}
e2e_check "texts: every caption exact in wide characters" texts_ok || cat "$work/window.txt"
e2e_screenshot "$artifacts/e2e_main_window.$locale_tag.png"
e2e_check "texts: screenshot taken" test -s "$artifacts/e2e_main_window.$locale_tag.png"
e2e_check "texts: closing the window ends the program with 0" end_tool
}

# ==== Both buttons ================================================================================================
scenario_buttons() {
sites --home-version 14.3.1 --stats-version 14.3.1
game=$drive/Game
e2e_game_folder "$game"
e2e_register_browser 'C:\Game\opened.log'
rm -f "$game/opened.log"
start_tool "$game"
read_window
local desktop=$drive/users/$(id -un)/Desktop
rm -f "$desktop/Brisvale.lnk"
click_unit 112,56
link_ok() {
  # Read once the link is whole: the reader refuses a cut-short one.
  e2e_until 10 eval '/usr/bin/python3 "$here/lnk.py" "$desktop/Brisvale.lnk" >"$work/link.json" 2>/dev/null' &&
    /usr/bin/python3 - "$work/link.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1]))
target = j["local_base_path"] or j["idlist_path"]
assert target.lower() == "c:\\game\\brisvale.exe", target
assert j["arguments"] is None and j["working_dir"] is None and j["name"] is None, j
assert j["show_command"] == 5, j["show_command"]
PY
}
e2e_check "buttons: the shortcut button writes the desktop link to the tool" link_ok || cat "$work/link.json"

click_unit 248,56
e2e_check "buttons: the site button hands www.op.gg to the shell" \
  e2e_wait_for "$game/opened.log" '"http://www.op.gg"' 15 || cat "$game/opened.log"
e2e_check "buttons: closing the window ends the program with 0" end_tool
}

echo "locale $BRISVALE_LOCALE"
for scenario in ${*:-$all_scenarios}; do
  echo "== $scenario"
  "scenario_${scenario//-/_}"
done
e2e_result
