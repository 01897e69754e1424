#!/usr/bin/env bash
# Shows Brisvale doing its job against stand-ins that ship with the project:
# two local web sites under the real host names (in a private network
# namespace, so nothing reaches the internet), a Game folder with a stand-in
# game client, and a sample spectate batch to drop. Installs what is missing
# and builds first.
#
# On your display (when there is one) you drop the batch yourself and close the
# window when done. Without a display, or with BRISVALE_DEMO_AUTO=1, the run
# uses Xvfb and drops the sample batch itself. Either way it then prints both
# versions, the ob.bat the tool wrote and what the stand-in client received,
# and saves a screenshot of the window in build/demo/.
#
#   scripts/run.sh [--home-version V] [--stats-version V]   (default 14.3.1 both)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
e2e=$root/tests/e2e

if [ "${1:-}" != --inner ]; then
  cd "$root"
  scripts/install-deps.sh
  build=${BRISVALE_BUILD_DIR:-$root/build}
  cmake -S . -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/win" --target Brisvale standin_client window_texts e2e_xdnd_drag

  . scripts/wine-lib.sh
  export BRISVALE_WINE_TEMPLATE=${BRISVALE_WINE_TEMPLATE:-$build/win/wine-template}
  auto=${BRISVALE_DEMO_AUTO:-0}
  if [ "$auto" != 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    wine_ensure_display
  else
    auto=1
    wine_ensure_display --private
  fi
  echo "== preparing a Wine prefix (the first run takes a minute)"
  prefix=$(wine_fresh_prefix)
  out=$build/demo
  rm -rf "$out"
  mkdir -p "$out"
  trap 'rm -rf "$prefix"; wine_stop_display' EXIT
  set +e
  WINEPREFIX=$prefix E2E_BUILD=$build/win DEMO_OUT=$out DEMO_AUTO=$auto \
    "$e2e/sandbox.sh" --timeout 3600 -- bash "$0" --inner "$@"
  exit $?
fi

# ---- inside the sandbox ------------------------------------------------------------------
shift
home=14.3.1
stats=14.3.1
while [ $# -gt 0 ]; do
  case "$1" in
    --home-version) home=$2; shift 2 ;;
    --stats-version) stats=$2; shift 2 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
set +e
. "$root/scripts/wine-lib.sh"
. "$e2e/e2e-lib.sh"
export WINEPREFIX
out=$DEMO_OUT
game=$WINEPREFIX/drive_c/Game
batch=$out/live_game.bat
cp "$e2e/data/live_game.bat" "$batch"

/usr/bin/python3 "$e2e/standin_sites.py" --port 80 --lifetime 3600 --record "$out/requests" \
  --home-version "$home" --stats-version "$stats" --ready-file "$out/.sites" &
sites=$!
e2e_wait_for "$out/.sites" "" 10 || { echo "stand-in sites did not start"; exit 1; }
echo "== stand-in sites: http://lol.qq.com (version $home), http://www.op.gg/champion/statistics (version $stats)"

e2e_game_folder "$game"
cp "$E2E_BUILD/bin/Brisvale.exe" "$game/"
echo "== Game folder: C:\\Game (Brisvale.exe and a stand-in League of Legends.exe)"
(cd "$game" && wine 'C:\Game\Brisvale.exe' >/dev/null 2>&1; echo $? >"$out/.exit") &
tool=$!

window() { wine "$E2E_BUILD/tools/window_texts.exe" Brisvale "$1" "$(e2e_winpath "$out/window.txt")" >/dev/null 2>&1; }
label() { sed -n "s/^child .* client=$1,[-0-9]*,[-0-9]* .* text_utf8=\(.*\)$/\1/p" "$out/window.txt" | tr -d '\r'; }
window 60000 || { echo "the window did not come up"; exit 1; }
sleep 1
e2e_screenshot "$out/screen.png"
if read -r l t r b < <(sed -n 's/^window .* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$out/window.txt" | tr -d '\r'); then
  convert "$out/screen.png" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$out/window.png" 2>/dev/null
fi

if [ "$DEMO_AUTO" = 1 ]; then
  echo "== no one at the screen: dropping the sample batch on the window"
  read -r x y < <(sed -n 's/^child .* client=8,0,[-0-9]*,[-0-9]* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' \
    "$out/window.txt" | { read -r a b c d; echo $(((a + c) / 2)) $(((b + d) / 2)); })
  "$E2E_BUILD/tools/xdnd_drag" --timeout 15 "$x" "$y" "$batch" >/dev/null 2>&1
  e2e_wait_for "$game/standin_client.log" "cwd=" 20
  window 10000
  # Closed as a user closes it: a click on the close box at the caption's end.
  read -r l t r cx cy < <(sed -n 's/^window .* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),[-0-9]* client_origin=\([-0-9]*\),\([-0-9]*\).*/\1 \2 \3 \4 \5/p' \
    "$out/window.txt" | tr -d '\r')
  e2e_click $((r - (cx - l) - 10)) $((t + (cy - t) / 2 + 1))
  e2e_wait_for "$out/.exit" "" 20 || wineserver -k >/dev/null 2>&1
  wait "$tool"
else
  echo "== the window is on your display: drag $batch onto it,"
  echo "   try its buttons, then close it"
  wait "$tool"
fi
echo "== window closed; Brisvale.exe exited with code $(cat "$out/.exit" 2>/dev/null)"

echo
echo "Chinese-server version (国服版本): $(label 80,56)"
echo "Korean-server version (韩服版本):  $(label 80,80)"
echo
if [ -f "$game/ob.bat" ]; then
  echo "ob.bat written by the tool (C:\\Game\\ob.bat):"
  awk '{ sub(/\r$/, ""); print "  | " $0 }' "$game/ob.bat"
  cp "$game/ob.bat" "$out/"
else
  echo "no ob.bat was written"
fi
echo
if [ -f "$game/standin_client.log" ]; then
  echo "what the stand-in client received:"
  awk '{ sub(/\r$/, ""); print "  | " $0 }' "$game/standin_client.log"
  cp "$game/standin_client.log" "$out/"
else
  echo "the stand-in client was not started"
fi
echo
echo "screenshot of the window: $out/window.png (whole screen: $out/screen.png)"
kill "$sites" 2>/dev/null
# Unattended, the run shows the whole job or fails; on your display you decide.
[ "$DEMO_AUTO" != 1 ] || { [ -f "$game/standin_client.log" ] && [ "$(cat "$out/.exit")" = 0 ]; }
