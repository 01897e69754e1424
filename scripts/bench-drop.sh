#!/usr/bin/env bash
# Benchmark of the drop conversion (not a test): files of 1, 10 and 50 MB in
# three shapes (one long line, 56-byte lines, no line ends; the block at the
# end) dropped on the real Brisvale.exe under Wine, through the sandbox and
# the X drag and drop of the end-to-end tests. Prints, as the median of
# ROUNDS, the time from the drop until ob.bat holds the block for each file;
# per shape the rate between sizes, (t50 - t1) / 49 MB, since a drop has a
# fixed cost of its own, and the ratio (t50 - t1) / (t10 - t1), about 5.4 when
# the time is linear in the size; the same on the processor time the tool
# used, which other work on the machine changes much less; the tool's peak
# memory and the machine's load. The last line is the worst rate and the
# ratio farthest from 5.4. The median, not the best: on a busy machine a short
# drop now and then finds the processors free, a long one never does, and the
# best times would bend the ratio.
#
#   scripts/bench-drop.sh [ROUNDS]      (default 5; builds what it needs)
set -uo pipefail
here=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
. "$here/e2e-lib.sh"
e2e_inside || build_win Brisvale standin_client window_texts e2e_xdnd_drag || exit 2
e2e_session 1500 "$@"
rounds=${1:-5}
mib=1048576

for shape in one-line lines no-line-ends; do
  for mb in 1 10 50; do
    /usr/bin/python3 "$here/make_batch.py" "$shape" $((mb * mib)) "$work/$shape-$mb.bat" || exit 2
  done
  e2e_expected_ob "$work/$shape-1.bat" >"$work/$shape.expected"
done

sites --home-version 14.3.1 --stats-version 14.3.1
e2e_game_folder "$game"
start_tool "$game"
read_window || { echo "bench-drop.sh: the window did not come up" >&2; exit 2; }
read -r x y <<<"$(unit_centre 8,0)"

/usr/bin/python3 "$here/make_batch.py" lines 4096 "$work/small.bat"
/usr/bin/python3 - "$E2E_BUILD/tools/xdnd_drag" "$x" "$y" "$work" "$game" "$rounds" <<'EOF'
import filecmp, glob, os, statistics, subprocess, sys, time

drag, x, y, work, game, rounds = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], int(sys.argv[6])
ob, client_log = f"{game}/ob.bat", f"{game}/standin_client.log"
shapes, sizes, limit = ["one-line", "lines", "no-line-ends"], [1, 10, 50], 300.0
batches_run = 0


def settle():
    """Waits until the batch the drop started has started the stand-in
    client, and until both have ended: they must not share the
    processors with the next drop."""
    global batches_run
    batches_run += 1
    deadline = time.perf_counter() + 60
    while time.perf_counter() < deadline:
        try:
            if open(client_log, "rb").read().count(b"cmdline=") >= batches_run:
                break
        except OSError:
            pass
        time.sleep(0.05)
    while time.perf_counter() < deadline and running({"cmd.exe", "League of Legen"}):
        time.sleep(0.05)


def running(names):
    for comm in glob.glob("/proc/[0-9]*/comm"):
        try:
            if open(comm).read().strip() in names:
                return True
        except OSError:
            pass
    return False


def tool_pid():
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if open(f"/proc/{pid}/comm").read().strip() == "Brisvale.exe":
                return pid
        except OSError:
            pass
    sys.exit("bench-drop.sh: the tool's process is not there")


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def timed_drop(path, expected):
    """Seconds from the drop until ob.bat holds the expected block, and the
    processor seconds the tool used meanwhile."""
    want = os.path.getsize(expected)
    pid = tool_pid()
    cpu0 = cpu_seconds(pid)
    try:
        os.remove(ob)
    except FileNotFoundError:
        pass
    t0 = time.perf_counter()
    source = subprocess.Popen([drag, "--timeout", str(int(limit)), x, y, path],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    t = None
    while time.perf_counter() - t0 < limit:
        try:
            if os.stat(ob).st_size == want:
                t = time.perf_counter() - t0
                cpu = cpu_seconds(pid) - cpu0
                break
        except FileNotFoundError:
            pass
        if source.poll() not in (None, 0, 5):
            break  # the drop source gave up: the drop never reached the tool
        time.sleep(0.002)
    # The drop is finished when the tool's handler has returned.
    said = source.communicate()[0].decode(errors="replace").strip().replace("\n", "; ")
    if t is None or not filecmp.cmp(ob, expected, shallow=False):
        sys.exit(f"bench-drop.sh: {os.path.basename(path)} gave no or a wrong ob.bat "
                 f"(drag source exit {source.returncode}: {said})")
    settle()
    return t, cpu


def timed_from_small(shape, mb):
    """A drop that starts where every other starts: the edit boxes holding a
    small batch, not the last file's text, which a drop frees first."""
    timed_drop(f"{work}/small.bat", f"{work}/lines.expected")
    return timed_drop(f"{work}/{shape}-{mb}.bat", f"{work}/{shape}.expected")


def peak_memory():
    """(VmHWM, VmRSS) of the tool's process in MB, from /proc."""
    fields = dict(l.split(":", 1) for l in open(f"/proc/{tool_pid()}/status"))
    return tuple(int(fields[k].split()[0]) / 1024 for k in ("VmHWM", "VmRSS"))


timed_drop(f"{work}/lines-1.bat", f"{work}/lines.expected")  # warm-up: first-drop costs
before = peak_memory()[1]
times, cpus = {}, {}
for _ in range(rounds):
    for shape in shapes:
        for mb in sizes:
            t, cpu = timed_from_small(shape, mb)
            times.setdefault((shape, mb), []).append(t)
            cpus.setdefault((shape, mb), []).append(cpu)
median = {key: statistics.median(ts) for key, ts in times.items()}
median_cpu = {key: statistics.median(ts) for key, ts in cpus.items()}

print(f"drop to ob.bat, median of {rounds} round(s):")
for shape in shapes:
    for mb in sizes:
        print(f"  {shape:<13} {mb:>3} MB  {median[shape, mb] * 1000:9.1f} ms"
              f"   (tool's processor time {median_cpu[shape, mb] * 1000:7.0f} ms)")
rates, ratios = [], []
for shape in shapes:
    t1, t10, t50 = (median[shape, mb] for mb in sizes)
    rate = 49 / (t50 - t1) if t50 > t1 else float("inf")
    ratio = (t50 - t1) / (t10 - t1) if t10 > t1 else float("inf")
    rates.append((rate, shape))
    ratios.append((abs(ratio - 5.4), ratio, shape))
    c1, c10, c50 = (median_cpu[shape, mb] for mb in sizes)
    cpu_rate = 49 / (c50 - c1) if c50 > c1 else float("inf")
    cpu_ratio = (c50 - c1) / (c10 - c1) if c10 > c1 else float("inf")
    print(f"{shape}: rate (t50 - t1) / 49 MB = {rate:.1f} MB/s, (t50 - t1) / (t10 - t1) = {ratio:.2f}; "
          f"on processor time {cpu_rate:.1f} MB/s and {cpu_ratio:.2f}")
peak = peak_memory()[0]
print(f"peak memory of Brisvale.exe (VmHWM): {peak:.0f} MB; {before:.0f} MB resident before the first timed drop")
print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} processor(s)")
worst_rate = min(rates)
worst_ratio = max(ratios)
print(f"worst rate {worst_rate[0]:.1f} MB/s ({worst_rate[1]}); "
      f"ratio (t50 - t1) / (t10 - t1) {worst_ratio[1]:.2f} ({worst_ratio[2]})")
EOF
status=$?
end_tool || status=1
exit $status
