# Shared by every script that builds the Windows tree or runs Windows programs
# under Wine. Source it; it defines functions only, plus the environment every
# Wine run here gets.

# Wine takes the ANSI code page from the Unix locale it starts in: zh_CN gives
# 936, en_US 1252, ko_KR 949, and a locale of a language without an ANSI code
# page, such as hi_IN, gives 65001. BRISVALE_LOCALE picks one; Chinese unless told.
export BRISVALE_LOCALE=${BRISVALE_LOCALE:-zh_CN.UTF-8}
export LANG=$BRISVALE_LOCALE LC_ALL=$BRISVALE_LOCALE
# Wine's own errors stay on: a program that fails to start says why.
export WINEDEBUG=${WINEDEBUG:--all,err+all}
# No Mono or Gecko installer dialogs in a fresh prefix: nothing here needs them.
# No menu entries or icons in the user's home for links a test writes either.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINEARCH=win64

_wine_lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# build_win [TARGET...]: configures the Windows tree ($BRISVALE_BUILD_DIR/win,
# build/ unless told) and builds the targets (everything when none is named).
# BRISVALE_WERROR=ON (or OFF), when set, goes to the configuration.
build_win() {
  local tree=${BRISVALE_BUILD_DIR:-$_wine_lib_root/build}/win targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  cmake -S "$_wine_lib_root" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$_wine_lib_root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo ${BRISVALE_WERROR:+-DBRISVALE_WERROR=$BRISVALE_WERROR} >/dev/null &&
    cmake --build "$tree" -j "${BRISVALE_JOBS:-$(nproc)}" "${targets[@]}" ||
    { echo "the Windows build failed" >&2; return 1; }
}

# wine_path UNIX_PATH: the path as Windows programs see it. Paths inside the
# prefix's drive_c come out as C:\..., everything else as Z:\....
wine_path() {
  local p c=${WINEPREFIX:-/nonexistent}/drive_c
  p=$(realpath -m "$1")
  case "$p" in
    "$c"/*) p="C:${p#"$c"}" ;;
    "$c") p="C:" ;;
    *) p="Z:$p" ;;
  esac
  printf '%s\n' "${p//\//\\}"
}

_brisvale_xvfb_pid=""

# Uses $DISPLAY when an X server answers there (unless --private is given);
# otherwise starts a private Xvfb and exports DISPLAY. wine_stop_display ends
# only a server started here.
wine_ensure_display() {
  if [ "${1:-}" != --private ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # -displayfd lets the server pick a free display itself: no race between
  # programs starting side by side.
  local fifo n i
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/brisvale-xvfb.XXXXXX")
  mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  _brisvale_xvfb_pid=$!
  n=$(timeout 20 head -n 1 "$fifo")
  rm -f "$fifo"
  if [ -n "$n" ]; then
    for i in $(seq 1 100); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then export DISPLAY=":$n"; return 0; fi
      sleep 0.05
    done
  fi
  kill "$_brisvale_xvfb_pid" 2>/dev/null; _brisvale_xvfb_pid=""
  echo "wine-lib: no X display could be started" >&2
  return 1
}

wine_stop_display() {
  [ -n "$_brisvale_xvfb_pid" ] && kill "$_brisvale_xvfb_pid" 2>/dev/null
  _brisvale_xvfb_pid=""
  return 0
}

# Debian's Wine keeps a prefix's server socket in a folder /tmp/wine-XXXXXX
# that the prefix's file "wineserver" names, made on the prefix's first start.
# Copies of a template that names one would share it: once any of them
# removes it, the others' next programs start a second server, cannot see the
# first one's windows, and "wineserver -k" no longer reaches it. So every
# prefix gets a folder of its own, removed with it.
_wine_server_folder() { local n; n=$(cat "$1/wineserver" 2>/dev/null) && [ -n "$n" ] && echo "/tmp/$n"; }

# wine_fixed_layout COMMAND...: runs the command, and every Wine program it
# starts, without address randomization. Debian's Wine has no preloader to
# reserve Wine's fixed areas before the Linux loader runs; randomized, the
# loader's heap starts anywhere in the gigabyte after wine64 (0x7d000000), and
# about once in a thousand starts it lies where Wine then maps the shared user
# data (0x7ffe0000): "failed to map the shared user data: c0000018", and the
# program never starts. Fixed, the heap starts right after the loader.
wine_fixed_layout() { setarch "$(uname -m)" -R "$@"; }

# wine_end_server: ends the server of $WINEPREFIX and every program in it,
# and waits until it is gone. Bounded.
wine_end_server() {
  wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  return 0
}

# Prints the path of the template prefix, creating it once (under a lock, since
# ctest may start several programs at the same time).
wine_template() {
  local t=${BRISVALE_WINE_TEMPLATE:-${TMPDIR:-/tmp}/brisvale-wine-template-$(id -u)}
  mkdir -p "$(dirname "$t")"
  (
    flock 9
    if [ ! -f "$t/.ready" ]; then
      rm -rf "$t"
      export WINEPREFIX=$t
      wine_fixed_layout wineboot -i >/dev/null 2>&1
      # Wine draws the caption bar and borders itself, so windows look the same
      # with or without a window manager (and screenshots show them).
      wine_fixed_layout wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
      wine_fixed_layout wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      # A program that crashes ends at once instead of waiting in the crash
      # debugger until its test's time-out: the debugger named here cannot
      # start, and Wine then lets the process die with the exception's code.
      wine_fixed_layout wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
        /d no-debugger.exe /f >/dev/null 2>&1
      wine_end_server
      rm -rf "$(_wine_server_folder "$t")" "$t/wineserver"
      # Wine links Desktop, Documents and the like to $HOME; a test writing a
      # desktop shortcut would then write into the real home folder. Plain
      # folders inside the prefix keep every run to itself.
      local l
      for l in "$t"/drive_c/users/*/*; do
        [ -L "$l" ] && rm -f "$l" && mkdir -p "$l"
      done
      [ -f "$t/system.reg" ] && touch "$t/.ready"
    fi
  ) 9>"$t.lock"
  [ -f "$t/.ready" ] || { echo "wine-lib: could not make the template prefix $t" >&2; return 1; }
  echo "$t"
}

# Prints the path of a new prefix copied from the template.
wine_fresh_prefix() {
  local t p
  t=$(wine_template) || return 1
  p=$(mktemp -d "${TMPDIR:-/tmp}/brisvale-prefix.XXXXXX") || return 1
  cp -a "$t/." "$p/" || return 1
  rm -f "$p/.ready" "$p/wineserver"
  echo "$p"
}

# wine_start_server: the server of $WINEPREFIX, started before its first
# program and kept until wine_end_server. The packaged server ends as soon as
# its last program has, and a program starting while it writes the registry
# out meets a closing socket ("recvmsg: connection reset by peer"). Returns
# once the server answers.
wine_start_server() {
  wineserver -p >/dev/null 2>&1 || { echo "wine-lib: the Wine server did not start" >&2; return 1; }
}

# wine_remove_prefix PREFIX: removes a prefix whose server has ended, with its
# server folder (BRISVALE_KEEP_PREFIX=1 keeps the prefix for a look).
wine_remove_prefix() {
  rm -rf "$(_wine_server_folder "$1")"
  if [ "${BRISVALE_KEEP_PREFIX:-0}" = 1 ]; then echo "prefix kept: $1" >&2; else rm -rf "$1"; fi
}

# start_test_server DIR [OPTIONS...]: the stand-in web server
# (tests/servers/http_server.py), logging into DIR/log, with the options
# given; sets server_pid and server_ports ("PLAIN [TLS...]") once it listens.
# Every address it serves is local, so no proxy may come between.
# stop_test_server ends it.
server_pid=""
start_test_server() {
  local dir=$1 i
  shift
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
  /usr/bin/python3 "$_wine_lib_root/tests/servers/http_server.py" --log-dir "$dir/log" --port-file "$dir/ports" "$@" &
  server_pid=$!
  for i in $(seq 1 100); do
    [ -s "$dir/ports" ] && { server_ports=$(cat "$dir/ports"); return 0; }
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the test server did not start" >&2
  return 1
}

stop_test_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  server_pid=""
}
