#!/usr/bin/env python3
"""The stand-in web server on 127.0.0.1, for the page retrieval tests, their
benchmark and the end-to-end tests.

Every request's raw bytes (request line and headers) are written to the log
folder as NNNNNN.req before the answer goes out, so a client that has its
answer can read what it sent. The answer depends on the Host header (without
its port) and the path (the part before "?").

The two sites the program reads, each served only when given an option:
  lol.qq.com  /                     home.html, the version in
                                    <div id="setNum" data-num="V" data-link=...
  www.op.gg   /champion/statistics  statistics.html, the version in
                                    "Korea - Version : V\n\t\t\t\t</div>\n"
with {{VERSION}} of the page beside this file replaced by --home-version V
(--stats-version V). --home-down (--stats-down) closes the connection
without answering, as a site that is down does for the client.

127.0.0.1 and localhost get the test pages; numbers come from the query,
e.g. /cut?n=300.

  /                 "root page" with Content-Length
  /body             "hello body" with Content-Length
  /noclen           a body without Content-Length, ended by closing
  /zero             Content-Length: 0
  /missing          404 with a body
  /pattern?n=N      N pattern bytes with Content-Length (byte i is i % 251)
  /pattern-noclen?n=N  the same without Content-Length
  /cut?n=N&claim=C  announces C (default 100000), sends N pattern bytes, closes
  /short?n=N&hold=S announces 2N, sends N pattern bytes, keeps the connection
                    open S seconds (at most 10), then closes
  /slow?n=N&pieces=P  N pattern bytes with Content-Length in P pieces, 0.1 s apart
  anything else     "page " plus the path, with Content-Length

Any other host, or another path of a site, gets the 404 of /missing.

The plain listener takes --port (a free one unless given). Each --tls
CERT,KEY adds a listener on a free port that speaks TLS with that
certificate and answers the same way. Once all listen, the ports go to
--port-file on one line, the plain port first, then the TLS ports in the
order given (a lone 0 when there are none). The server ends by itself after
--lifetime seconds in all, or --idle seconds without a request when given.
"""

import argparse
import os
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

HEAD_LIMIT = 64 * 1024
HERE = os.path.dirname(os.path.abspath(__file__))
MISSING = b"<html>not here</html>"


def pattern(n):
    return bytes(i % 251 for i in range(n)) if n < 1 << 16 else _big_pattern(n)


def _big_pattern(n):
    block = bytes(i % 251 for i in range(251 * 1024))
    whole, rest = divmod(n, len(block))
    return block * whole + block[:rest]


class Site:
    def __init__(self, path, template, version, down):
        self.path = path
        self.down = down
        with open(os.path.join(HERE, template), "rb") as f:
            self.page = f.read().replace(b"{{VERSION}}", (version or "").encode("utf-8"))


class State:
    def __init__(self, log_dir, sites):
        self.log_dir = log_dir
        self.sites = sites
        self.lock = threading.Lock()
        self.count = 0
        self.last = time.monotonic()

    def record(self, raw):
        with self.lock:
            self.count += 1
            self.last = time.monotonic()
            name = os.path.join(self.log_dir, "%06d.req" % self.count)
        tmp = name + ".tmp"
        with open(tmp, "wb") as f:
            f.write(raw)
        os.replace(tmp, name)


def number(query, key, default, low=0, high=50 * 1024 * 1024):
    try:
        value = int(query.get(key, [str(default)])[0])
    except ValueError:
        value = default
    return max(low, min(high, value))


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(10)
        raw = b""
        try:
            while b"\r\n\r\n" not in raw and len(raw) < HEAD_LIMIT:
                piece = sock.recv(4096)
                if not piece:
                    break
                raw += piece
        except (OSError, ssl.SSLError):
            pass
        if not raw:
            return
        self.server.state.record(raw)
        try:
            self.answer(sock, raw)
        except (OSError, ssl.SSLError):
            pass

    def answer(self, sock, raw):
        lines = raw.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
        parts = lines[0].split(" ")
        target = parts[1] if len(parts) >= 2 else "/"
        url = urllib.parse.urlsplit(target)
        path = url.path
        query = urllib.parse.parse_qs(url.query)
        host = ""
        for line in lines[1:]:
            key, _, value = line.partition(":")
            if key.strip().lower() == "host":
                host = value.strip().split(":", 1)[0].lower()

        def head(status, length=None, kind="application/octet-stream"):
            h = "HTTP/1.0 %s\r\nContent-Type: %s\r\n" % (status, kind)
            if length is not None:
                h += "Content-Length: %d\r\n" % length
            h += "Connection: close\r\n\r\n"
            return h.encode("latin-1")

        site = self.server.state.sites.get(host)
        if site is not None:
            if site.down:
                return  # closed without an answer
            if path == site.path:
                sock.sendall(head("200 OK", len(site.page), "text/html; charset=utf-8") + site.page)
            else:
                sock.sendall(head("404 Not Found", len(MISSING)) + MISSING)
        elif host not in ("127.0.0.1", "localhost"):
            sock.sendall(head("404 Not Found", len(MISSING)) + MISSING)
        elif path == "/":
            body = b"root page"
            sock.sendall(head("200 OK", len(body)) + body)
        elif path == "/body":
            body = b"hello body"
            sock.sendall(head("200 OK", len(body)) + body)
        elif path == "/noclen":
            body = b"no length announced; the end of the connection ends the body"
            sock.sendall(head("200 OK") + body)
        elif path == "/zero":
            sock.sendall(head("200 OK", 0))
        elif path == "/missing":
            sock.sendall(head("404 Not Found", len(MISSING)) + MISSING)
        elif path == "/pattern":
            body = pattern(number(query, "n", 1000))
            sock.sendall(head("200 OK", len(body)) + body)
        elif path == "/pattern-noclen":
            body = pattern(number(query, "n", 1000))
            sock.sendall(head("200 OK") + body)
        elif path == "/cut":
            claim = number(query, "claim", 100000, high=10 ** 12)
            body = pattern(number(query, "n", 300, high=max(0, claim - 1)))
            sock.sendall(head("200 OK", claim) + body)
        elif path == "/short":
            n = number(query, "n", 300)
            sock.sendall(head("200 OK", 2 * n) + pattern(n))
            time.sleep(number(query, "hold", 2, high=10))
        elif path == "/slow":
            n = number(query, "n", 5000)
            pieces = number(query, "pieces", 5, low=1, high=50)
            body = pattern(n)
            sock.sendall(head("200 OK", n))
            step = (n + pieces - 1) // pieces
            for i in range(0, n, step):
                sock.sendall(body[i:i + step])
                time.sleep(0.1)
        else:
            body = ("page " + path).encode("latin-1")
            sock.sendall(head("200 OK", len(body)) + body)
        try:
            sock.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state, port=0, tls_context=None):
        super().__init__(("127.0.0.1", port), Handler)
        self.state = state
        self.tls_context = tls_context

    def get_request(self):
        sock, addr = super().get_request()
        if self.tls_context is not None:
            sock.settimeout(10)
            sock = self.tls_context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr

    def finish_request(self, request, client_address):
        if self.tls_context is not None:
            try:
                request.do_handshake()
            except (OSError, ssl.SSLError):
                # A client that refuses the certificate ends here.
                return
        super().finish_request(request, client_address)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--log-dir", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--tls", action="append", default=[], metavar="CERT,KEY")
    ap.add_argument("--idle", type=float)
    ap.add_argument("--lifetime", type=float, default=900)
    for name in ("home", "stats"):
        group = ap.add_mutually_exclusive_group()
        group.add_argument("--%s-version" % name)
        group.add_argument("--%s-down" % name, action="store_true")
    args = ap.parse_args()

    sites = {}
    if args.home_version or args.home_down:
        sites["lol.qq.com"] = Site("/", "home.html", args.home_version, args.home_down)
    if args.stats_version or args.stats_down:
        sites["www.op.gg"] = Site("/champion/statistics", "statistics.html", args.stats_version, args.stats_down)
    os.makedirs(args.log_dir, exist_ok=True)
    state = State(args.log_dir, sites)
    servers = [Server(state, args.port)]
    for pair in args.tls:
        cert, key = pair.split(",", 1)
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(cert, key)
        servers.append(Server(state, tls_context=ctx))
    for s in servers:
        threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    ports = [s.server_address[1] for s in servers]
    if len(ports) == 1:
        ports.append(0)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(" ".join(str(p) for p in ports) + "\n")
    os.replace(tmp, args.port_file)

    started = time.monotonic()
    while True:
        time.sleep(0.5)
        now = time.monotonic()
        if now - started > args.lifetime or (args.idle is not None and now - state.last > args.idle):
            break
    for s in servers:
        s.shutdown()
        s.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
