#!/usr/bin/env bash
# Runs http_test.exe under Wine beside a local test server: makes a throwaway
# self-signed certificate, starts tests/servers/http_server.py on 127.0.0.1,
# hands its ports and request log to the program through the environment and
# stops the server afterwards, however the program ended.
#
#   tests/win/http_test.sh path/to/http_test.exe [gtest arguments...]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-lib.sh"
[ $# -ge 1 ] || { echo "usage: http_test.sh program.exe [args...]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/brisvale-http.XXXXXX")
trap 'stop_test_server; rm -rf "$work"' EXIT

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

start_test_server "$work" --idle 120 --lifetime 900 \
  --tls "$work/untrusted.pem,$work/untrusted.key" --tls "$work/trusted.pem,$work/trusted.key" || exit 2
read -r plain tls trusted_tls <<<"$server_ports"
export BVTEST_HTTP_PORT=$plain BVTEST_HTTPS_PORT=$tls BVTEST_HTTPS_TRUSTED_PORT=$trusted_tls
BVTEST_HTTP_LOG=$(wine_path "$work/log")
BVTEST_HTTPS_TRUSTED_CERT=$(wine_path "$work/trusted.pem")
export BVTEST_HTTP_LOG BVTEST_HTTPS_TRUSTED_CERT

"$root/scripts/wine-exec.sh" "$@"
