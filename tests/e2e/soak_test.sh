#!/usr/bin/env bash
# Keeps the real Brisvale.exe busy for a long evening in a few minutes: 150
# drops taking turns between a good batch, a batch without the markers and a
# good batch while ob.bat is held open by another program, with 50 clicks of
# each button between them, then a click on the close box. Its handle count,
# committed memory (the process list's pagefile usage) and resident memory
# (Linux's VmRSS) are read from outside after ten warm-up drops and again at
# the end; none may grow by more than its allowance below, and the program
# must end with 0. Under Wine the figures a program reports about itself
# (GetProcessHandleCount, private usage, GetGuiResources) read 0 or are stubs,
# so first a helper that leaks on purpose shows that each figure used here
# moves.
#
#   soak_test.sh            (E2E_BUILD: the Windows build tree)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e-lib.sh"
e2e_session 570

# What the tool may gain between the warm-up and the end: a few handles a
# library keeps in a cache, heap pages that a later drop reuses. A leak of one
# handle or 8 KiB per drop exceeds them. (Seen here over ten runs: +0 handles,
# +8 to +12 KiB pagefile and resident, in about 70 s each.)
allow_handles=8
allow_pagefile_kib=1024
allow_rss_kib=4096
# What the leaking helper takes, well beyond each allowance.
leak_handles=200
leak_mib=32
tools=$E2E_BUILD/tools
desktop=$WINEPREFIX/drive_c/users/$(id -un)/Desktop

# figures IMAGE: "HANDLES PAGEFILE_KIB RSS_KIB" of the running program IMAGE.
figures() {
  local line pid handles pagefile rss
  line=$(timeout 60 wine "$tools/process_figures.exe" "$1" 2>/dev/null | tr -d '\r') || return 1
  handles=$(sed -n 's/.*handles=\([0-9]*\).*/\1/p' <<<"$line")
  pagefile=$(sed -n 's/.*pagefile=\([0-9]*\).*/\1/p' <<<"$line")
  pid=$(grep -lxF "$1" /proc/[0-9]*/comm 2>/dev/null | head -n 1 | cut -d/ -f3)
  rss=$([ -n "$pid" ] && awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  [ -n "$handles" ] && [ -n "$pagefile" ] && [ -n "$rss" ] || return 1
  echo "$handles $((pagefile / 1024)) $rss"
}

# grew_beyond BEFORE AFTER: every figure of AFTER exceeds BEFORE by more than
# its allowance.
grew_beyond() {
  local h0 p0 r0 h1 p1 r1
  read -r h0 p0 r0 <<<"$1"
  read -r h1 p1 r1 <<<"$2"
  [ $((h1 - h0)) -gt $allow_handles ] && [ $((p1 - p0)) -gt $allow_pagefile_kib ] && [ $((r1 - r0)) -gt $allow_rss_kib ]
}

# within_allowances BEFORE AFTER: no figure grew by more than its allowance.
within_allowances() {
  local h0 p0 r0 h1 p1 r1
  read -r h0 p0 r0 <<<"$1"
  read -r h1 p1 r1 <<<"$2"
  [ $((h1 - h0)) -le $allow_handles ] && [ $((p1 - p0)) -le $allow_pagefile_kib ] && [ $((r1 - r0)) -le $allow_rss_kib ]
}

# ==== The figures move with a program that leaks ====================================================
mkdir -p "$work/leak"
wine "$tools/leaker.exe" $leak_handles $leak_mib "$(wine_path "$work/leak")" >/dev/null 2>&1 &
leaker=$!
e2e_wait_for "$work/leak/ready" "" 60
leak_before=$(figures leaker.exe)
touch "$work/leak/go"
e2e_wait_for "$work/leak/leaked" "" 60
leak_after=$(figures leaker.exe)
echo "leaker (handles, pagefile KiB, resident KiB): before $leak_before, after $leak_after"
e2e_check "leaker: each figure shows the leak" grew_beyond "$leak_before" "$leak_after"
touch "$work/leak/end"
wait "$leaker"

# ==== The tool through 150 drops and 100 clicks =========================================================
sites --home-version 14.3.1 --stats-version 14.3.1
e2e_game_folder "$game"
e2e_register_browser 'C:\Game\opened.log'
mkdir -p "$work/batches"
sample=$here/data/live_game.bat
cp "$sample" "$work/batches/good.bat"
sed 's/if exist "League of Legends.exe" (/if exist "client.exe" (/' "$sample" >"$work/batches/no-markers.bat"
sed 's/key 123 KR/key 456 KR/' "$sample" >"$work/batches/held.bat"

start_tool "$game"
read_window
read -r link_x link_y <<<"$(unit_centre 112,56)"
read -r site_x site_y <<<"$(unit_centre 248,56)"
e2e_check "the window came up with its units" test -n "$(unit_centre 8,0)" -a -n "$link_x" -a -n "$site_x" ||
  { cat "$work/window.txt"; exit 1; }

runs() { grep -c '^cmdline=' "$game/standin_client.log" 2>/dev/null || echo 0; }
opened() { grep -c 'www.op.gg' "$game/opened.log" 2>/dev/null || echo 0; }

# session_state: what a failed or slow step found, printed once per run so
# that a broken session does not flood the log.
state_shown=0
session_state() {
  [ $state_shown -eq 0 ] || return 0
  state_shown=1
  echo "--- tool exit code: $(cat "$E2E_WORK/exit" 2>/dev/null || echo 'none, still running')"
  echo "--- processes:"
  ps -eo pid,ppid,stat,etimes,time,args | grep -v ' ps -eo'
  echo "--- pointer: $(xdotool getmouselocation 2>/dev/null)"
  echo "--- visible windows:"
  local w
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    echo "$w $(xdotool getwindowname "$w" 2>/dev/null) $(e2e_geometry "$w" 2>/dev/null)"
  done
}

# soak_drop FILE: a drop once no batch runs; says why when the drag failed.
# A batch the tool started is read by cmd while it runs, and a drop then
# cannot replace ob.bat (the tool keeps the old one and runs nothing). A user
# who drops again that fast sees the same; here each drop waits until no
# batch runs, so that every good batch counts.
soak_drop() {
  batches_done || session_state
  drop "$1" || { echo "drop of $1 failed:"; cat "$work/drag.log"; session_state; return 1; }
}

# held_drop FILE: drops FILE while another program holds ob.bat open.
held_drop() {
  hold_file 'C:\Game\ob.bat' || { echo "ob.bat could not be held"; session_state; return 1; }
  soak_drop "$1"
  local rc=$?
  release_file
  return $rc
}

# at_rest: every step has already seen its client and browser start; once
# no batch runs either and the tool has answered a message after its last
# step, both measurements see it in the same state.
at_rest() {
  batches_done || session_state
  read_window
}

# waited_for WHAT COUNT_FUNCTION N: the count has reached N within 30 s;
# otherwise says what did not happen.
reaches() { [ "$($1)" -ge "$2" ]; }
waited_for() { e2e_until 30 reaches "$2" "$3" || { echo "step $i: $1 within 30 s"; return 1; }; }

# step N: the Nth drop and the click after it. Each good drop must start the
# client, and each site click the browser, before the step ends, so that no
# two of them overlap and a failed step is named. Status 1 when something
# did not reach the tool.
step() {
  case $(($1 % 3)) in
    1) soak_drop "$work/batches/good.bat" && good=$((good + 1)) &&
         waited_for "the good batch started no client" runs $good &&
         e2e_click "$link_x" "$link_y" && link_clicks=$((link_clicks + 1)) ;;
    2) soak_drop "$work/batches/no-markers.bat" && e2e_click "$site_x" "$site_y" &&
         site_clicks=$((site_clicks + 1)) && waited_for "the site click started no browser" opened $site_clicks ;;
    0) held_drop "$work/batches/held.bat" ;;
  esac
}

good=0
site_clicks=0
link_clicks=0
# A step slower than this is reported with its time, so that a slow run
# shows where its time went.
slow_ms=3000
# Beyond this the run stops and fails, well before the sandbox's limit, so
# that it can still say how far it came.
deadline_s=420
steps_done=0
before=""
after=""
for i in $(seq 1 150); do
  step_start=$(date +%s%N)
  step "$i" || { session_state; break; }
  steps_done=$i
  step_ms=$((($(date +%s%N) - step_start) / 1000000))
  [ $step_ms -le $slow_ms ] || { echo "step $i (case $((i % 3))) took $step_ms ms"; session_state; }
  [ $SECONDS -le $deadline_s ] || { echo "stopped after step $i, ${SECONDS} s in"; session_state; break; }
  if [ "$i" -eq 10 ]; then
    at_rest
    before=$(figures Brisvale.exe)
    echo "after $i drops, ${SECONDS} s in (handles, pagefile KiB, resident KiB): $before"
  fi
done
at_rest
after=$(figures Brisvale.exe)
echo "after $steps_done drops, ${SECONDS} s in (handles, pagefile KiB, resident KiB): $after"

e2e_check "every drop and click reached the tool" test "$steps_done/$link_clicks/$site_clicks" = "150/50/50"
e2e_check "each good batch started the client once, no other did" test "$(runs)" = 50 || echo "runs: $(runs)"
e2e_check "each site click opened the site once" test "$(opened)" = 50 || echo "opened: $(opened)"
# The last drops were a batch without markers (an empty ob.bat) and one while
# ob.bat was held, which must have left it so.
e2e_check "ob.bat is what the last writable drop made: empty" test -f "$game/ob.bat" -a ! -s "$game/ob.bat"
e2e_check "the desktop link is there" test -s "$desktop/Brisvale.lnk"
e2e_check "figures read before and after" test -n "$before" -a -n "$after" || echo "figures: before '$before', after '$after'"
e2e_check "no figure grew beyond its allowance (+$allow_handles handles, +$allow_pagefile_kib KiB pagefile, +$allow_rss_kib KiB resident)" \
  within_allowances "$before" "$after"

e2e_check "closing the window ends the program with 0" close_tool
reap_tool
e2e_result
