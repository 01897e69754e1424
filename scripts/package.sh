#!/usr/bin/env bash
# Builds the release: dist/Brisvale-<version>-win64.zip with Brisvale.exe, the
# players' guide in Chinese and the screenshot it points to, the licences and
# SHA256SUMS. Installs what is missing and builds first.
#
# The exe goes in unchanged: the bytes of build/win/bin/Brisvale.exe, the one
# the tests run (its PE header carries no link time, so a rebuild of the same
# tree gives the same bytes). The screenshot is taken by the run command's
# unattended mode from that same exe and stripped of the times the image
# writer records. Every entry gets the time SOURCE_DATE_EPOCH (default: the
# commit's time) and a fixed order and attributes, so two runs on one tree
# give the same zip, byte for byte.
#
#   scripts/package.sh            prints the zip's path last
#   BRISVALE_BUILD_DIR            build folder (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${BRISVALE_BUILD_DIR:-$root/build}
version=$(sed -n 's/^project(Brisvale VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no project version in CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

echo "== screenshot: the run command, unattended"
log=$build/package-run.log
mkdir -p "$build"
if ! BRISVALE_DEMO_AUTO=1 BRISVALE_BUILD_DIR=$build scripts/run.sh >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "package.sh: the run command failed (log: $log)" >&2
  exit 1
fi
exe=$build/win/bin/Brisvale.exe
[ -s "$build/demo/window.png" ] || { echo "package.sh: the run command left no screenshot" >&2; exit 1; }

stage=$build/package
rm -rf "$stage"
mkdir -p "$stage" dist
cp "$exe" "$stage/Brisvale.exe"
cp package/README-zh-CN.txt "$stage/"
convert "$build/demo/window.png" -strip "PNG24:$stage/window.png"
cp LICENSE "$stage/LICENSE.txt"
cp package/THIRD-PARTY.txt "$stage/"

zip=dist/Brisvale-$version-win64.zip
/usr/bin/python3 - "$stage" "$zip" <<'EOF'
import hashlib, os, sys, time, zipfile

stage, out = sys.argv[1], sys.argv[2]
# Notepad before Windows 10 shows a text without CR as one line.
for name in ("LICENSE.txt", "THIRD-PARTY.txt"):
    path = os.path.join(stage, name)
    text = open(path, "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    open(path, "wb").write(text)
order = ["Brisvale.exe", "README-zh-CN.txt", "window.png", "LICENSE.txt", "THIRD-PARTY.txt"]
sums = "".join(f"{hashlib.sha256(open(os.path.join(stage, n), 'rb').read()).hexdigest()}  {n}\n" for n in order)
open(os.path.join(stage, "SHA256SUMS"), "w", newline="").write(sums)
order.append("SHA256SUMS")

# Zip times are local times without a zone; the UTC reading of the epoch,
# no earlier than the format's 1980, is what every run writes.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w") as z:
    for name in order:
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0           # MS-DOS attributes, as Windows writes them
        info.external_attr = 0x20        # archive bit only
        z.writestr(info, open(os.path.join(stage, name), "rb").read(), compresslevel=9)
os.replace(tmp, out)
EOF

echo "== $zip ($(stat -c %s "$zip") bytes)"
unzip -l "$zip" | sed 's/^/  /'
echo "sha256 $(sha256sum "$zip" | cut -d' ' -f1)"
echo "$root/$zip"
