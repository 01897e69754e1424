#!/usr/bin/env python3
"""Stand-in web sites for the end-to-end tests, served by Host header.

    standin_sites.py [--bind 127.0.0.1] [--port 80] [--lifetime 120]
                     [--home-version V | --home-down | --home-status N]
                     [--stats-version V | --stats-down | --stats-status N]
                     [--record DIR] [--ready-file FILE]

Hosts and pages (templates in tests/e2e/data, {{VERSION}} replaced):
  lol.qq.com   "/"                     home.html, the version in
                                       <div id="setNum" data-num="V" data-link=...
  www.op.gg    "/champion/statistics"  statistics.html, the version in
                                       "Korea - Version : V\\n\\t\\t\\t\\t</div>\\n"
Any other host or path answers 404. A site that is "down" closes the
connection without answering (the client sees a failed request); --*-status
answers with that HTTP status and a short body instead of the page.

--record DIR: every request is appended, raw as it came (request line and
headers, and a body if Content-Length says so), to DIR/<host>.log, with a line
"=== request N" before each; requests without a Host go to DIR/_nohost.log.
DIR/requests.jsonl gets one JSON line per request (host, method, target,
version, headers).

The server stops by itself after --lifetime seconds (or on SIGTERM/SIGINT).
--ready-file is written once the port is bound.
"""
import argparse
import json
import os
import signal
import socket
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")

HOME_HOST = "lol.qq.com"
STATS_HOST = "www.op.gg"
STATS_PATH = "/champion/statistics"


def load_template(name):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read()


class Site:
    """One host's behaviour: a version for its page, down, or a fixed status."""

    def __init__(self, template, version=None, down=False, status=None):
        self.template = template
        self.version = version
        self.down = down
        self.status = status

    def page(self):
        return self.template.replace(b"{{VERSION}}", self.version.encode("utf-8"))


def response(status, body, content_type="text/html; charset=utf-8"):
    reason = {200: "OK", 404: "Not Found", 500: "Internal Server Error", 503: "Service Unavailable"}.get(status, "Status")
    head = (f"HTTP/1.1 {status} {reason}\r\n"
            f"Content-Type: {content_type}\r\n"
            f"Content-Length: {len(body)}\r\n"
            "Cache-Control: no-cache\r\n"
            "Connection: close\r\n\r\n").encode("ascii")
    return head + body


class Recorder:
    def __init__(self, directory):
        self.directory = directory
        self.lock = threading.Lock()
        self.count = 0
        if directory:
            os.makedirs(directory, exist_ok=True)

    def record(self, host, raw, parsed):
        if not self.directory:
            return
        with self.lock:
            self.count += 1
            name = host if host and all(c.isalnum() or c in ".-" for c in host) else "_nohost"
            with open(os.path.join(self.directory, name + ".log"), "ab") as f:
                f.write(f"=== request {self.count}\n".encode("ascii") + raw)
            with open(os.path.join(self.directory, "requests.jsonl"), "a", encoding="utf-8") as f:
                f.write(json.dumps(dict(parsed, host=host, n=self.count)) + "\n")


def read_request(conn, limit=65536, deadline=10.0):
    """The raw request head (and body, when announced), bounded in size and time."""
    conn.settimeout(deadline)
    data = b""
    while b"\r\n\r\n" not in data and len(data) < limit:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    head, sep, rest = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    parts = lines[0].split(" ") if lines and lines[0] else []
    headers = []
    length = 0
    for line in lines[1:]:
        key, _, value = line.partition(":")
        headers.append([key.strip(), value.strip()])
        if key.strip().lower() == "content-length":
            try:
                length = min(int(value.strip()), limit)
            except ValueError:
                length = 0
    while sep and len(rest) < length:
        chunk = conn.recv(4096)
        if not chunk:
            break
        rest += chunk
    parsed = {
        "method": parts[0] if len(parts) > 0 else "",
        "target": parts[1] if len(parts) > 1 else "",
        "version": parts[2] if len(parts) > 2 else "",
        "headers": headers,
    }
    return head + sep + rest, parsed


def host_of(parsed):
    for key, value in parsed["headers"]:
        if key.lower() == "host":
            return value.split(":", 1)[0].lower()
    return ""


def path_of(target):
    # An absolute-form target (as sent to a proxy) names the path after the host.
    if target.startswith("http://"):
        target = "/" + target[len("http://"):].partition("/")[2]
    return target.split("?", 1)[0]


def handle(conn, sites, recorder):
    try:
        raw, parsed = read_request(conn)
        host = host_of(parsed)
        recorder.record(host, raw, parsed)
        site = sites.get(host)
        path = path_of(parsed["target"])
        wanted = {HOME_HOST: "/", STATS_HOST: STATS_PATH}.get(host)
        if site and site.down:
            return  # closed without an answer
        if not site or path != wanted:
            conn.sendall(response(404, b"not here\n", "text/plain"))
        elif site.status:
            conn.sendall(response(site.status, b"stand-in error page\n", "text/plain"))
        elif parsed["method"] == "HEAD":
            conn.sendall(response(200, site.page()).split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n")
        else:
            conn.sendall(response(200, site.page()))
    except OSError:
        pass
    finally:
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bind", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=80)
    ap.add_argument("--lifetime", type=float, default=120.0)
    ap.add_argument("--record")
    ap.add_argument("--ready-file")
    for site in ("home", "stats"):
        g = ap.add_mutually_exclusive_group()
        g.add_argument(f"--{site}-version", default="10.1.1")
        g.add_argument(f"--{site}-down", action="store_true")
        g.add_argument(f"--{site}-status", type=int)
    args = ap.parse_args(argv)

    sites = {
        HOME_HOST: Site(load_template("home.html"), args.home_version, args.home_down, args.home_status),
        STATS_HOST: Site(load_template("statistics.html"), args.stats_version, args.stats_down, args.stats_status),
    }
    recorder = Recorder(args.record)

    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.bind, args.port))
    server.listen(16)
    server.settimeout(0.2)
    if args.ready_file:
        with open(args.ready_file, "w") as f:
            f.write(f"{os.getpid()}\n")

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    end = time.monotonic() + args.lifetime
    while not stop.is_set() and time.monotonic() < end:
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        except OSError:
            break
        threading.Thread(target=handle, args=(conn, sites, recorder), daemon=True).start()
    server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
