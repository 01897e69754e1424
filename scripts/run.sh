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
. "$root/tests/e2e/e2e-lib.sh"
export DEMO_OUT=${DEMO_OUT:-$(dirname "$E2E_BUILD")/demo}

if ! e2e_inside; then
  "$root/scripts/install-deps.sh"
  build_win Brisvale standin_client window_texts e2e_xdnd_drag
  export BRISVALE_WINE_TEMPLATE=${BRISVALE_WINE_TEMPLATE:-$E2E_BUILD/wine-template}
  export DEMO_AUTO=${BRISVALE_DEMO_AUTO:-0}
  if [ "$DEMO_AUTO" != 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export E2E_USE_DISPLAY=1
  else
    DEMO_AUTO=1
  fi
  rm -rf "$DEMO_OUT"
  mkdir -p "$DEMO_OUT"
  echo "== preparing a Wine prefix (the first run takes a minute)"
fi
set +e
e2e_session 3600 "$@"

home=14.3.1
stats=14.3.1
while [ $# -gt 0 ]; do
  case "$1" in
    --home-version) home=$2; shift 2 ;;
    --stats-version) stats=$2; shift 2 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
out=$DEMO_OUT
batch=$out/live_game.bat
cp "$E2E_DIR/data/live_game.bat" "$batch"

sites --lifetime 3600 --home-version "$home" --stats-version "$stats" || { echo "stand-in sites did not start"; exit 1; }
echo "== stand-in sites: http://lol.qq.com (version $home), http://www.op.gg/champion/statistics (version $stats)"
e2e_game_folder "$game"
start_tool "$game"
echo "== Game folder: C:\\Game (Brisvale.exe and a stand-in League of Legends.exe)"
read_window || { echo "the window did not come up"; exit 1; }
e2e_still_screenshot "$out/screen.png"
if read -r l t r b < <(sed -n 's/^window .* screen=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\) .*/\1 \2 \3 \4/p' "$work/window.txt" | tr -d '\r'); then
  convert "$out/screen.png" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$out/window.png" 2>/dev/null
fi

if [ "$DEMO_AUTO" = 1 ]; then
  echo "== no one at the screen: dropping the sample batch on the window"
  drop "$batch"
  e2e_wait_for "$game/standin_client.log" "cwd=" 20
  end_tool
else
  echo "== the window is on your display: drag $batch onto it,"
  echo "   try its buttons, then close it"
  wait "$tool"
fi
echo "== window closed; Brisvale.exe exited with code $(cat "$work/exit" 2>/dev/null)"

echo
echo "Chinese-server version (国服版本): $(label3)"
echo "Korean-server version (韩服版本):  $(label4)"
echo
show() { awk '{ sub(/\r$/, ""); print "  | " $0 }' "$1"; cp "$1" "$out/"; }
if [ -f "$game/ob.bat" ]; then
  echo "ob.bat written by the tool (C:\\Game\\ob.bat):"
  show "$game/ob.bat"
else
  echo "no ob.bat was written"
fi
echo
if [ -f "$game/standin_client.log" ]; then
  echo "what the stand-in client received:"
  show "$game/standin_client.log"
else
  echo "the stand-in client was not started"
fi
echo
echo "screenshot of the window: $out/window.png (whole screen: $out/screen.png)"
# Unattended, the run shows the whole job or fails; on your display you decide.
[ "$DEMO_AUTO" != 1 ] || { [ -f "$game/standin_client.log" ] && [ "$(cat "$work/exit")" = 0 ]; }
