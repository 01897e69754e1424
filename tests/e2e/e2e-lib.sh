# Helpers for end-to-end scripts. Source it; it sources scripts/wine-lib.sh and
# defines functions only (and the empty session variables below). Every wait
# is bounded.
#
# Expects: E2E_BUILD (the Windows build tree: tools in $E2E_BUILD/tools;
# build/win unless told), and inside a session WINEPREFIX and DISPLAY.

E2E_DIR=${E2E_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
. "$E2E_DIR/../../scripts/wine-lib.sh"
export E2E_BUILD=${E2E_BUILD:-${BRISVALE_BUILD_DIR:-$(cd "$E2E_DIR/../.." && pwd)/build}/win}

e2e_failures=0
# e2e_check NAME COMMAND...: runs the command, prints PASS or FAIL with its name.
e2e_check() {
  local name=$1; shift
  if "$@"; then echo "PASS $name"; return 0; fi
  echo "FAIL $name"
  e2e_failures=$((e2e_failures + 1))
  return 1
}

# e2e_until SECONDS COMMAND...: until the command succeeds; status 1 after SECONDS.
e2e_until() {
  local limit=$1 i
  shift
  for i in $(seq 1 $((limit * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

_e2e_holds() { [ -e "$1" ] && { [ -z "$2" ] || grep -qF -- "$2" "$1"; }; }
# e2e_wait_for FILE [PATTERN] [SECONDS]: until FILE exists (and holds PATTERN, a
# fixed string). Status 1 after SECONDS (default 20).
e2e_wait_for() { e2e_until "${3:-20}" _e2e_holds "$1" "${2:-}"; }

# same_file EXPECTED FILE: until FILE holds exactly the bytes of EXPECTED (10 s
# at most), so that a check compares only a file that is complete; then says
# where they differ.
same_file() { e2e_until 10 cmp -s "$1" "$2" || cmp "$1" "$2"; }

_e2e_empty() { [ -f "$1" ] && [ ! -s "$1" ]; }
# empty_file FILE: until FILE exists and is empty (10 s at most).
empty_file() { e2e_until 10 _e2e_empty "$1"; }

_e2e_no_batch() { ! grep -qxF -e cmd.exe -e "League of Legen" /proc/[0-9]*/comm 2>/dev/null; }
# batches_done: until no batch and no client it started runs (30 s at most):
# what a drop started has done all it will. The sandbox's process list holds
# only its own processes.
batches_done() { e2e_until 30 _e2e_no_batch || { echo "a batch still runs after 30 s"; return 1; }; }

# e2e_game_folder DIR: makes DIR the client's Game folder: the stand-in client
# copied in as "League of Legends.exe" (it logs to DIR/standin_client.log).
e2e_game_folder() {
  mkdir -p "$1" && cp "$E2E_BUILD/tools/standin_client.exe" "$1/League of Legends.exe"
}

# e2e_expected_ob BATCH: prints what a conversion cuts out of BATCH: the bytes
# between the first 'if exist "League of Legends.exe" (' and the next
# "goto :eof", both found regardless of ASCII letter case; nothing when either
# is missing.
e2e_expected_ob() {
  /usr/bin/python3 - "$1" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
low = data.lower()
left = b'if exist "league of legends.exe" ('
i = low.find(left)
if i >= 0:
    j = low.find(b"goto :eof", i + len(left))
    if j >= 0:
        sys.stdout.buffer.write(data[i + len(left):j])
EOF
}

# e2e_register_browser LOGFILE_WIN: the URL recorder becomes the http and https
# handler of the prefix; every address the shell opens is appended to LOGFILE_WIN
# (a Windows path) as the recorder's command line.
e2e_register_browser() {
  local exe cmd scheme
  exe=$(wine_path "$E2E_BUILD/tools/url_recorder.exe")
  cmd="\"$exe\" --log=$1 \"%1\""
  for scheme in http https; do
    wine reg add "HKLM\\Software\\Classes\\$scheme\\shell\\open\\command" /ve /d "$cmd" /f >/dev/null 2>&1 || return 1
  done
}

# e2e_window TITLE [SECONDS]: the X window id of the visible window whose name is
# exactly TITLE (waits for it).
e2e_window() {
  local title=$1 limit=${2:-20} i id
  for i in $(seq 1 $((limit * 5))); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# e2e_geometry WINDOW_ID: prints "X Y W H" of the window on the screen.
e2e_geometry() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")" || return 1
  echo "$X $Y $WIDTH $HEIGHT"
}

# e2e_click X Y: a real left click at screen coordinates.
e2e_click() {
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  # A synchronous move waits for the pointer to leave where it is: to where
  # it already is, it would wait 15 s for nothing.
  [ "$X $Y" = "$1 $2" ] || timeout 10 xdotool mousemove --sync "$1" "$2" || return 1
  sleep 0.2 && timeout 10 xdotool click 1
}

# e2e_screenshot FILE.png: the whole screen of $DISPLAY as PNG.
e2e_screenshot() {
  import -display "$DISPLAY" -window root "$1" 2>/dev/null
}

# e2e_still_screenshot FILE.png: a screenshot once two in a row show the same
# pixels, so the windows have finished painting (5 s at most).
e2e_still_screenshot() {
  local before="" now i
  for i in $(seq 1 25); do
    e2e_screenshot "$1" || return 1
    now=$(convert "$1" rgb:- 2>/dev/null | md5sum)
    [ "$now" = "$before" ] && return 0
    before=$now
    sleep 0.2
  done
  return 1
}

# e2e_xdnd_drag X Y FILE...: drags the files onto the window under X,Y as a
# file manager would (see xdnd_drag.c for exit codes).
e2e_xdnd_drag() {
  "$E2E_BUILD/tools/xdnd_drag" --timeout 15 "$@"
}

# e2e_answer_box CAPTION BUTTON_ID OUTFILE [TIMEOUT_MS]: answers a message box
# as a user; OUTFILE (Unix path) gets what the box showed (see box_answer.cpp).
e2e_answer_box() {
  wine "$E2E_BUILD/tools/box_answer.exe" "$1" "$2" "${4:-15000}" "$(wine_path "$3")"
}

# e2e_box_field OUTFILE KEY: one field of box_answer's output.
e2e_box_field() {
  sed -n "s/^$2=//p" "$1" | tr -d '\r'
}

# e2e_session SECONDS [ARGS...]: the first line of every end-to-end script.
# Outside the sandbox it gives the script a display of its own (clicks, drops
# and screenshots must not meet other tests), a fresh prefix and a work
# folder, runs the script again with ARGS inside the sandbox (at most SECONDS),
# removes them afterwards and exits with the script's status; 77 (skip) where
# network namespaces are not allowed. E2E_USE_DISPLAY=1 takes $DISPLAY when it
# answers. Inside, it starts the prefix's server,
# sets work (the work folder) and game (C:\Game), and at the script's end
# stops the stand-in sites and the server.
e2e_inside() { [ -n "${E2E_WORK:-}" ]; }

e2e_session() {
  local limit=$1 prefix rc
  shift
  if e2e_inside; then
    export WINEPREFIX E2E_WORK
    work=$E2E_WORK
    game=$WINEPREFIX/drive_c/Game
    wine_start_server || exit 2
    trap e2e_session_end EXIT
    return 0
  fi
  if [ "$(id -u)" -ne 0 ] && ! unshare --user --map-root-user --net true 2>/dev/null; then
    echo "SKIP: network namespaces need root here"; exit 77
  fi
  if [ "${E2E_USE_DISPLAY:-0}" = 1 ]; then wine_ensure_display || exit 2; else wine_ensure_display --private || exit 2; fi
  prefix=$(wine_fresh_prefix) || { wine_stop_display; exit 2; }
  E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
  WINEPREFIX=$prefix E2E_WORK=$E2E_WORK wine_fixed_layout "$E2E_DIR/sandbox.sh" --timeout "$limit" -- bash "$0" "$@"
  rc=$?
  [ $rc -eq 0 ] || { echo "--- requests to the stand-in sites:"; head -c 4000 "$E2E_WORK"/sites.*/log/*.req 2>/dev/null; }
  # The sandbox has ended the server with everything else inside it.
  wine_remove_prefix "$prefix"
  rm -rf "$E2E_WORK"
  wine_stop_display
  exit $rc
}

e2e_session_end() {
  stop_test_server
  wine_end_server
}

# e2e_result: the count of failed checks; the status says whether all passed.
e2e_result() {
  echo "$e2e_failures check(s) failed"
  [ "$e2e_failures" -eq 0 ]
}

# ---- A session of the real Brisvale.exe ------------------------------------------------------------
# For scripts running inside the sandbox (E2E_WORK set): the stand-in sites,
# the tool started from another folder than its own, its window read from
# outside ($E2E_WORK/window.txt), drops, clicks and the close. They keep the
# session in the variables records, tool and game.

# sites ARGS...: (re)starts the stand-in sites (tests/servers/http_server.py
# on port 80) with the given options; the requests of this start are recorded
# in $records, one NNNNNN.req file each.
sites() {
  local dir
  stop_test_server
  dir=$(mktemp -d "$E2E_WORK/sites.XXXXXX") || return 1
  start_test_server "$dir" --port 80 --lifetime 500 "$@" || return 1
  records=$dir/log
}

# site_log HOST: the requests of this start of the sites whose Host is HOST, in
# order, each after a line "=== request N".
site_log() {
  local f
  for f in "$records"/*.req; do
    grep -qixF "host: $1"$'\r' "$f" 2>/dev/null && { echo "=== request ${f##*/}"; cat "$f"; }
  done
  return 0
}
# site_got HOST PATTERN: whether a request to HOST has a line matching PATTERN.
site_got() { site_log "$1" | grep -- "$2" >/dev/null; }

tool=""
# start_tool GAME_DIR: copies the exe into GAME_DIR and starts it from another
# working folder; waits for its window and reads it into $E2E_WORK/window.txt.
start_tool() {
  game=$1
  mkdir -p "$game"
  cp "$E2E_BUILD/bin/Brisvale.exe" "$game/"
  rm -f "$E2E_WORK/exit"
  (cd "$E2E_WORK" && wine "$(wine_path "$game/Brisvale.exe")" >/dev/null 2>&1; echo $? >"$E2E_WORK/exit") &
  tool=$!
}

# read_window: what the main window shows now, as another program reads it.
read_window() {
  wine "$E2E_BUILD/tools/window_texts.exe" Brisvale 30000 "$(wine_path "$E2E_WORK/window.txt")" >/dev/null 2>&1 ||
    { wine_state; return 1; }
}

# unit_text L,T: the text of the child window at client position L,T.
unit_text() {
  sed -n "s/^child .* client=$1,[-0-9]*,[-0-9]* .* text_utf8=\(.*\)$/\1/p" "$E2E_WORK/window.txt" | tr -d '\r'
}

# unit_centre L,T: screen position of the centre of the child at client L,T;
# nothing when the window has no such child.
unit_centre() {
  sed -n "s/^child .* client=$1,[-0-9]*,[-0-9]* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p" \
    "$E2E_WORK/window.txt" | head -n 1 | { read -r l t r b && echo $(((l + r) / 2)) $(((t + b) / 2)); }
}

label3() { unit_text 80,56; }
label4() { unit_text 80,80; }

# drop FILE...: a real XDND drag of the files onto the window's big label,
# waiting E2E_DROP_TIMEOUT seconds (default 15) for the tool to finish it.
# The drop target answers every drop as not completed (a move must never
# delete the batch), so the source sees "refused" (5) or completion (0).
drop() {
  local x y rc
  read -r x y <<<"$(unit_centre 8,0)"
  "$E2E_BUILD/tools/xdnd_drag" --timeout "${E2E_DROP_TIMEOUT:-15}" "$x" "$y" "$@" >"$E2E_WORK/drag.log" 2>&1
  rc=$?
  # The drag source walks the window tree while other programs' windows come
  # and go; one that vanishes under it ends the drag before it begins.
  if [ $rc -ne 0 ] && [ $rc -ne 5 ] && grep -q BadWindow "$E2E_WORK/drag.log"; then
    sleep 0.5
    "$E2E_BUILD/tools/xdnd_drag" --timeout "${E2E_DROP_TIMEOUT:-15}" "$x" "$y" "$@" >"$E2E_WORK/drag.log" 2>&1
    rc=$?
  fi
  [ $rc -eq 0 ] || [ $rc -eq 5 ]
}

# drop_answering_box OUTFILE FILE...: drops the files, answers the box the drop
# raises ("信息：", OK) into OUTFILE, and waits until the drop has ended.
drop_answering_box() {
  local out=$1 dropping
  shift
  drop "$@" &
  dropping=$!
  e2e_answer_box "信息：" 1 "$out" 15000
  wait "$dropping"
}

click_unit() {
  local x y
  read -r x y <<<"$(unit_centre "$1")"
  e2e_click "$x" "$y"
}

holder=""
# hold_file WINPATH: another program holds the file open (readers may share
# it, writers may not) until release_file; status 1 when it could not.
hold_file() {
  rm -f "$E2E_WORK/held" "$E2E_WORK/release" "$E2E_WORK/released"
  (wine "$E2E_BUILD/tools/hold_file.exe" "$1" 120 "$(wine_path "$E2E_WORK/held")" \
    "$(wine_path "$E2E_WORK/release")" >/dev/null 2>&1; echo $? >"$E2E_WORK/released") &
  holder=$!
  e2e_wait_for "$E2E_WORK/held" "held" 30 && return 0
  release_file
  return 1
}

# release_file: the holder closes the file and ends; once this returns, the
# file is free. A holder that does not end is killed, which frees the file
# only once the Wine server has noticed.
release_file() {
  touch "$E2E_WORK/release"
  e2e_wait_for "$E2E_WORK/released" "" 20 || pkill -KILL -x hold_file.exe
  wait "$holder" 2>/dev/null
}

# close_tool: a click on the window's close box, then the exit code.
close_tool() {
  local l t r b cx cy
  read -r l t r b cx cy <<<"$(sed -n 's/^window .* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) client_origin=\([-0-9]*\),\([-0-9]*\).*/\1 \2 \3 \4 \5 \6/p' "$E2E_WORK/window.txt" | tr -d '\r')"
  [ -n "$cy" ] || return 1
  # The close box sits at the caption's right end: one frame width in from
  # the right edge, half a caption down from the top.
  e2e_click $((r - (cx - l) - 10)) $((t + (cy - t) / 2 + 1))
  tool_exited 20
}

# end_tool: reads the window's place afresh, closes it, waits for the program.
end_tool() {
  local rc
  read_window
  close_tool
  rc=$?
  reap_tool
  return $rc
}

# reap_tool: the program has ended, or is ended now: a box no check could
# answer would hold it open, and the next scenario must start clean.
reap_tool() {
  if ! e2e_wait_for "$E2E_WORK/exit" "" 5; then
    wine_state
    wine_end_server
    e2e_wait_for "$E2E_WORK/exit" "" 10 || pkill -KILL -x Brisvale.exe
    wine_start_server
  fi
  wait "$tool" 2>/dev/null
}

# wine_state: what a session whose programs went astray shows: the prefix's
# server folder, and every Wine server with the folder it serves.
wine_state() {
  local folder pid
  folder=$(_wine_server_folder "$WINEPREFIX")
  echo "--- server folder of $WINEPREFIX: ${folder:-none}"
  ls -la --time-style=full-iso "$folder" "$folder"/* 2>&1 | head -n 20
  for pid in $(pgrep -x wineserver64); do echo "server $pid since $(ps -o lstart= -p "$pid"): $(readlink "/proc/$pid/cwd")"; done
}

# tool_exited SECONDS: the program has ended with exit code 0.
tool_exited() {
  e2e_wait_for "$E2E_WORK/exit" "" "$1" && [ "$(cat "$E2E_WORK/exit")" = 0 ]
}
