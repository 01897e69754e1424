#!/usr/bin/env bash
# Runs a command in a sandbox of its own for end-to-end tests:
#  - a network namespace with only the loopback interface, brought up, so
#    nothing reaches the internet and servers on 127.0.0.1 are private to it;
#  - a mount namespace in which a hosts file is bind-mounted over /etc/hosts,
#    mapping the two site names (lol.qq.com, www.op.gg) to 127.0.0.1;
#  - a PID namespace, so that every process started inside (wineserver and
#    any stray Wine process included) ends when the command ends;
#  - a time limit.
# The X display stays reachable through its file-system socket
# /tmp/.X11-unix/Xn (the abstract socket belongs to the outer network
# namespace; Xlib falls back to the file-system one by itself). Wine reaches
# wineserver through its socket under /tmp as usual.
#
#   sandbox.sh [--hosts FILE] [--timeout SECONDS] [--] COMMAND [ARGS...]
#
# --hosts: a hosts file of your own instead of the default one.
# --timeout: seconds before the command is terminated (default 300); exit 124
# then. Otherwise the exit code is the command's. Needs root, or unprivileged
# user namespaces (then run as the mapped root).
set -uo pipefail

hosts=""
limit=300
while [ $# -gt 0 ]; do
  case "$1" in
    --hosts) hosts=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "sandbox.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: sandbox.sh [--hosts FILE] [--timeout S] [--] COMMAND [ARGS...]" >&2; exit 2; }

own_hosts=""
if [ -z "$hosts" ]; then
  own_hosts=$(mktemp "${TMPDIR:-/tmp}/sandbox-hosts.XXXXXX") || exit 2
  printf '127.0.0.1\tlocalhost\n127.0.0.1\tlol.qq.com\n127.0.0.1\twww.op.gg\n::1\tlocalhost\n' >"$own_hosts"
  hosts=$own_hosts
fi
chmod 644 "$hosts"

userns=()
[ "$(id -u)" -eq 0 ] || userns=(--user --map-root-user)

# The inner shell sets the namespaces up, then becomes the command. /proc is
# mounted afresh for the new PID namespace (--mount-proc).
inner='
set -e
ip link set lo up
mount --bind "$SANDBOX_HOSTS" /etc/hosts
set +e
exec "$@"
'
SANDBOX_HOSTS=$hosts timeout --kill-after=5 "$limit" \
  unshare "${userns[@]}" --net --mount --pid --fork --kill-child --mount-proc \
  bash -c "$inner" sandbox "$@"
rc=$?
[ -n "$own_hosts" ] && rm -f "$own_hosts"
exit $rc
