# Shared by the scripts that run Windows programs under Wine. Source it; it defines
# functions only, plus the environment every Wine run here gets.

# Wine takes the ANSI code page from the Unix locale it starts in: zh_CN gives
# 936, en_US 1252, ko_KR 949, and a locale of a language without an ANSI code
# page, such as hi_IN, gives 65001. BRISVALE_LOCALE picks one; Chinese unless told.
export BRISVALE_LOCALE=${BRISVALE_LOCALE:-zh_CN.UTF-8}
export LANG=$BRISVALE_LOCALE LC_ALL=$BRISVALE_LOCALE
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs in a fresh prefix: nothing here needs them.
# No menu entries or icons in the user's home for links a test writes either.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINEARCH=win64

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

# Prints the path of the template prefix, creating it once (under a lock, since
# ctest may start several programs at the same time).
wine_template() {
  local t=${BRISVALE_WINE_TEMPLATE:-${TMPDIR:-/tmp}/brisvale-wine-template-$(id -u)}
  mkdir -p "$(dirname "$t")"
  (
    flock 9
    if [ ! -f "$t/.ready" ]; then
      rm -rf "$t"
      WINEPREFIX=$t wineboot -i >/dev/null 2>&1
      WINEPREFIX=$t wineserver -w >/dev/null 2>&1
      # Wine draws the caption bar and borders itself, so windows look the same
      # with or without a window manager (and screenshots show them).
      WINEPREFIX=$t wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
      WINEPREFIX=$t wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      WINEPREFIX=$t wineserver -w >/dev/null 2>&1
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
  rm -f "$p/.ready"
  echo "$p"
}
