#!/usr/bin/env bash
# Installs what building, testing and running need on a Debian machine, and only
# what is missing, so running it twice costs nothing. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  locales fonts-wqy-zenhei
  python3 python3-xlib libx11-dev libxtst-dev iproute2 util-linux openssl curl
  git unzip
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_ apt-get update -qq
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine derives the ANSI code page from the Unix locale, so every locale a test
# runs in must exist: code pages 936, 1252, 949 and 65001, in that order.
have_locale() { locale -a 2>/dev/null | sed 's/utf-\?8$/utf8/I' | grep -qix "${1%.UTF-8}.utf8"; }
need_gen=0
for l in zh_CN.UTF-8 en_US.UTF-8 ko_KR.UTF-8 hi_IN.UTF-8; do
  have_locale "$l" && continue
  grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | sudo_ tee -a /etc/locale.gen >/dev/null
  need_gen=1
done
[ "$need_gen" = 0 ] || sudo_ locale-gen >/dev/null
