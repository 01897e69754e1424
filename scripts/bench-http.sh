#!/usr/bin/env bash
# Benchmark of page retrieval (not a test): a 10 MB page from the local test
# server fetched by HttpGetPage and by a bare WinINet read loop in one Windows
# process under Wine, and by curl. Builds what it needs, then prints the
# median of each and the ratios; last the ratio of the two Windows ways'
# minimums, the figure least disturbed by other work on the machine.
#
#   scripts/bench-http.sh [ROUNDS]      (default 9)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-lib.sh"
rounds=${1:-9}
tool="${BRISVALE_BUILD_DIR:-$root/build}/win/tools/http_bench.exe"
build_win http_bench || exit 2

work=$(mktemp -d "${TMPDIR:-/tmp}/brisvale-bench.XXXXXX")
trap 'stop_test_server; rm -rf "$work"' EXIT
start_test_server "$work" --idle 120 --lifetime 600 || exit 2
read -r port _ <<<"$server_ports"
url="http://127.0.0.1:$port/pattern?n=10485760"

out=$("$root/scripts/wine-exec.sh" "$tool" "$url" "$rounds") || { echo "$out"; echo "bench-http.sh: the tool failed" >&2; exit 1; }
echo "$out"
curl -s --http1.0 -o /dev/null "$url"  # warm-up
curl_ms=$(for _ in $(seq 1 "$rounds"); do
  curl -s --http1.0 -o /dev/null -w '%{time_total}\n' "$url"
done | sort -n | awk '{a[NR]=$1} END {printf "%.1f", 1000*a[int((NR+1)/2)]}')
echo "curl ms=$curl_ms"
field() { echo "$out" | awk -v way="$1" -v key="$2=" '$1 == way { for (i = 2; i <= NF; ++i) if (index($i, key) == 1) print substr($i, length(key) + 1) }'; }
awk -v c="$(field HttpGetPage ms)" -v b="$(field bare-loop ms)" -v u="$curl_ms" \
  -v cmin="$(field HttpGetPage min)" -v bmin="$(field bare-loop min)" 'BEGIN {
  printf "bare loop / curl = %.2f\nHttpGetPage / curl = %.2f\nHttpGetPage / bare loop (medians) = %.2f\n", b / u, c / u, c / b
  printf "HttpGetPage / bare loop (minimums) = %.2f\n", cmin / bmin }'
