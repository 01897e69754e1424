#!/usr/bin/env bash
# Runs http_test.exe under Wine beside a local test server: makes a throwaway
# self-signed certificate, starts tests/servers/http_server.py on 127.0.0.1,
# hands its ports and request log to the program through the environment and
# stops the server afterwards, however the program ended.
#
#   tests/win/http_test.sh path/to/http_test.exe [gtest arguments...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: http_test.sh program.exe [args...]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/brisvale-http.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

python=/usr/bin/python3
[ -x "$python" ] || python=python3

# Two certificates: one the program never trusts, and one it adds to its own
# prefix's trusted roots to see a TLS fetch through. The trusted one names
# "localhost": Wine's name check does not match an address written as
# 127.0.0.1 against a certificate, whatever the certificate names.
make_cert() {  # name subject-alt-names (the first one also becomes the CN)
  local cn=${2%%,*}
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=${cn#*:}" \
    -addext "subjectAltName=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1 \
    || { echo "http_test.sh: openssl could not make a certificate" >&2; exit 2; }
}
make_cert untrusted "IP:127.0.0.1"
make_cert trusted "DNS:localhost,IP:127.0.0.1"

"$python" "$root/tests/servers/http_server.py" --log-dir "$work/log" --port-file "$work/ports" \
  --tls "$work/untrusted.pem,$work/untrusted.key" --tls "$work/trusted.pem,$work/trusted.key" \
  --idle 120 --lifetime 900 &
server_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/ports" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/ports" ] || { echo "http_test.sh: the test server did not start" >&2; exit 2; }
read -r plain tls trusted_tls <"$work/ports"

# Every address the tests use is local; no proxy may come between.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
export BVTEST_HTTP_PORT=$plain BVTEST_HTTPS_PORT=$tls BVTEST_HTTPS_TRUSTED_PORT=$trusted_tls
# The program sees the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
BVTEST_HTTP_LOG=$(windows_path "$work/log")
BVTEST_HTTPS_TRUSTED_CERT=$(windows_path "$work/trusted.pem")
export BVTEST_HTTP_LOG BVTEST_HTTPS_TRUSTED_CERT

"$root/scripts/wine-exec.sh" "$@"
