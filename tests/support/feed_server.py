#!/usr/bin/env python3
"""HTTP server for the download tests, on 127.0.0.1 only.

  feed_server.py start --root DIR --state-dir DIR [--lifetime SECONDS] [--https NAME=CERT,KEY]...
      Starts a server in the background (or joins one already running for this state folder),
      waits until it listens and writes its port to STATE-DIR/port. Each --https adds a listener
      that serves the same endpoints over TLS with that certificate (PEM files) and writes its
      port to STATE-DIR/https-NAME-port; all listeners share one request log.
  feed_server.py stop --state-dir DIR
      Leaves the server; the last one to leave shuts it down.
  feed_server.py serve --root DIR --state-dir DIR [--lifetime SECONDS]
      Runs the server in the foreground.

Every path may start with /t/<token>: the token is kept in the request log and lets concurrent
tests read only their own entries. Endpoints (FILE is a file below --root):
  /feeds/FILE[?pad=N]            the file; N bytes of trailing white space make a large body
  /slow/FILE?parts=N&delay=MS[&pad=P]
                                 the file (and P bytes of white space) in N parts, MS
                                 milliseconds apart
  /stall/FILE?after=N            announces the whole file, sends N bytes, then sends nothing
  /cut/FILE?after=N              announces the whole file, sends N bytes, closes the connection
  /status/CODE/FILE              the file as the body of a response with status CODE
  /redirect/CODE/PATH[?to=ORIGIN]
                                 status CODE with Location /PATH (token kept), on ORIGIN
                                 (scheme, host and port: another listener) when given
  /loop/A/B                      status 302 with Location /loop/B/A (token kept): /loop/x/x
                                 redirects to itself, /loop/a/b and /loop/b/a to each other
  /endless                       a feed whose body never ends
  /hang                          accepts the request and never answers
  /changing/FILE                 the file with every title numbered by the request: a feed whose
                                 lines change from pass to pass
  /reset/FILE?after=N            announces the whole file, sends N bytes, resets the connection
  /garbage?bytes=N               N random bytes as a 200 response
  /empty                         a 200 response with an empty body
  /switched/NAME/FILE            what switch NAME says: serve (the file, as /feeds/; the default),
                                 stall (as /stall/ after 16 bytes), hang (as /hang) or drip (the
                                 file in 100 parts a second apart)
  /switch/NAME/MODE              sets switch NAME to MODE for the requests that follow
  /log                           the request log, one "EVENT PATH" line per entry
  /log/reset                     empties the log
  /count/PATH                    how many requests for /PATH the log holds
  /ping, /shutdown
Log events: GET (request received), SENT (whole body sent), CUT (the client went away first).
"""

import argparse
import fcntl
import http.server
import os
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
import urllib.request

BLOCK = 64 * 1024
MAX_ENDLESS_BYTES = 1 << 30
MAX_ENDLESS_SECONDS = 600
MAX_STALL_SECONDS = 120
MAX_PAD_BYTES = 64 << 20


# What a switched request is served as; FILE stands for the file it names.
SWITCH_MODES = {
    "serve": "/feeds/FILE",
    "stall": "/stall/FILE?after=16",
    "hang": "/hang",
    "drip": "/slow/FILE?parts=100&delay=1000",
}


class ClientGone(Exception):
    pass


class Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.0: one response per connection, so closing a request closes its socket.
    protocol_version = "HTTP/1.0"
    timeout = 30  # no connection can hold a handler thread for longer without traffic

    def log_message(self, fmt, *args):
        pass

    def setup(self):
        # A TLS connection shakes hands here, in the connection's own thread: a client that
        # refuses the certificate, or never answers, holds no other connection up.
        self.handshake_failed = False
        if isinstance(self.request, ssl.SSLSocket):
            self.request.settimeout(self.timeout)
            try:
                self.request.do_handshake()
            except OSError:
                self.handshake_failed = True
        super().setup()

    def handle(self):
        if not self.handshake_failed:
            super().handle()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        full_path = url.path
        token, path = "", full_path
        parts = full_path.split("/")
        if len(parts) > 3 and parts[1] == "t":
            token = "/t/" + parts[2]
            path = "/" + "/".join(parts[3:])
        try:
            self.route(token, full_path, path, query)
        except (ClientGone, ConnectionError, socket.timeout, BrokenPipeError):
            self.server.record("CUT", full_path)

    def route(self, token, full_path, path, query):
        server = self.server
        if path == "/ping":
            return self.send_text(200, "ok\n")
        if path == "/shutdown":
            self.send_text(200, "bye\n")
            threading.Thread(target=server.shutdown, daemon=True).start()
            return
        if path == "/log":
            return self.send_text(200, server.log_text(token))
        if path == "/log/reset":
            server.reset_log(token)
            return self.send_text(200, "")
        if path.startswith("/count/"):
            target = token + path[len("/count"):]
            with server.entries_lock:
                count = sum(1 for event, entry in server.entries
                            if event == "GET" and entry == target)
            return self.send_text(200, f"{count}\n")
        if path.startswith("/switch/"):
            _, _, name, mode = path.split("/", 3)
            if mode not in SWITCH_MODES:
                return self.send_text(404, "no such mode\n")
            with server.entries_lock:
                server.switches[token + name] = mode
            return self.send_text(200, mode + "\n")
        server.record("GET", full_path)
        if path.startswith("/switched/"):
            # The request is served by the endpoint that the switch names.
            _, _, name, file_name = path.split("/", 3)
            with server.entries_lock:
                mode = server.switches.get(token + name, "serve")
            path = SWITCH_MODES[mode].replace("FILE", file_name)
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
            path = urllib.parse.urlsplit(path).path
        if path.startswith("/changing/"):
            body = self.read_fixture(path[len("/changing/"):])
            if body is None:
                return
            with server.entries_lock:
                server.changes += 1
                number = server.changes
            body = body.replace(b"</title>", f" {number}</title>".encode())
            self.send_head(200, len(body))
            self.send_bytes(body)
            return server.record("SENT", full_path)
        if path.startswith("/reset/"):
            body = self.read_fixture(path[len("/reset/"):])
            if body is None:
                return
            after = min(int(query.get("after", ["16"])[0]), len(body))
            self.send_head(200, len(body))
            self.send_bytes(body[:after])
            # A zero linger time makes the close a reset.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            # The socket closes once its files are closed too.
            self.rfile.close()
            self.wfile.close()
            self.connection.close()
            return server.record("CUT", full_path)
        if path == "/garbage":
            body = os.urandom(min(int(query.get("bytes", ["4096"])[0]), MAX_PAD_BYTES))
            self.send_head(200, len(body))
            self.send_bytes(body)
            return server.record("SENT", full_path)
        if path == "/empty":
            self.send_head(200, 0)
            return server.record("SENT", full_path)
        if path.startswith("/feeds/"):
            body = self.read_fixture(path[len("/feeds/"):])
            if body is None:
                return
            pad = min(int(query.get("pad", ["0"])[0]), MAX_PAD_BYTES)
            self.send_head(200, len(body) + pad)
            self.send_bytes(body)
            self.send_padding(pad)
            return server.record("SENT", full_path)
        if path.startswith("/slow/"):
            body = self.read_fixture(path[len("/slow/"):])
            if body is None:
                return
            pad = min(int(query.get("pad", ["0"])[0]), MAX_PAD_BYTES)
            body += b" " * pad
            count = max(1, int(query.get("parts", ["4"])[0]))
            delay = int(query.get("delay", ["100"])[0]) / 1000.0
            self.send_head(200, len(body))
            step = (len(body) + count - 1) // count
            for start in range(0, len(body), step):
                self.send_bytes(body[start:start + step])
                if server.stopping.wait(delay):
                    raise ClientGone()
            return server.record("SENT", full_path)
        if path.startswith("/stall/") or path.startswith("/cut/"):
            stall = path.startswith("/stall/")
            body = self.read_fixture(path.split("/", 2)[2])
            if body is None:
                return
            after = min(int(query.get("after", ["16"])[0]), len(body))
            self.send_head(200, len(body))
            self.send_bytes(body[:after])
            if stall:
                # Waits for the client to give up; ends at shutdown or after a bound.
                self.connection.settimeout(MAX_STALL_SECONDS)
                try:
                    self.connection.recv(1)
                except OSError:
                    pass
            else:
                self.connection.shutdown(socket.SHUT_RDWR)
            return server.record("CUT", full_path)
        if path.startswith("/status/"):
            _, _, code, name = path.split("/", 3)
            body = self.read_fixture(name)
            if body is None:
                return
            self.send_head(int(code), len(body))
            self.send_bytes(body)
            return server.record("SENT", full_path)
        if path.startswith("/redirect/"):
            _, _, code, target = path.split("/", 3)
            self.send_response(int(code))
            origin = query.get("to", [""])[0]
            self.send_header("Location", origin + token + "/" + target)
            self.send_header("Content-Length", "0")
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            return server.record("SENT", full_path)
        if path.startswith("/loop/"):
            parts = path.split("/")
            if len(parts) != 4:
                return self.send_text(404, "no such loop\n")
            self.send_response(302)
            self.send_header("Location", f"{token}/loop/{parts[3]}/{parts[2]}")
            self.send_header("Content-Length", "0")
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            return server.record("SENT", full_path)
        if path == "/hang":
            # Never answers: the client waits for response headers until it gives up.
            self.connection.settimeout(MAX_STALL_SECONDS)
            try:
                self.connection.recv(1)
            except OSError:
                pass
            return server.record("CUT", full_path)
        if path == "/endless":
            self.send_head(200, None)
            self.send_bytes(b"<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel>"
                            b"<title>Endless</title>\n")
            filler = b"<!--" + b"endless " * (BLOCK // 8 - 1) + b"-->"
            sent, started = 0, time.monotonic()
            while sent < MAX_ENDLESS_BYTES and time.monotonic() - started < MAX_ENDLESS_SECONDS:
                if server.stopping.is_set():
                    raise ClientGone()
                self.send_bytes(filler)
                sent += len(filler)
            raise ClientGone()
        self.send_text(404, "no such endpoint\n")

    def read_fixture(self, name):
        root = self.server.root
        file_path = os.path.realpath(os.path.join(root, urllib.parse.unquote(name)))
        if not file_path.startswith(root + os.sep) or not os.path.isfile(file_path):
            self.send_text(404, "no such fixture\n")
            return None
        with open(file_path, "rb") as f:
            return f.read()

    def send_head(self, code, length):
        self.send_response(code)
        self.send_header("Content-Type", "text/xml")
        if length is not None:
            self.send_header("Content-Length", str(length))
        # Every pass must reach the server: no cached copies.
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.flush()

    def send_bytes(self, data):
        try:
            self.wfile.write(data)
            self.wfile.flush()
        except OSError as error:
            raise ClientGone() from error

    def send_padding(self, count):
        block = (b" " * (BLOCK - 1)) + b"\n"
        while count > 0:
            self.send_bytes(block[:min(count, BLOCK)])
            count -= BLOCK

    def send_text(self, code, text):
        data = text.encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(data)


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, root, log_of=None):
        super().__init__(("127.0.0.1", 0), Handler)
        self.root = os.path.realpath(root)
        self.stopping = threading.Event() if log_of is None else log_of.stopping
        # A listener of another server records into that server's log.
        self.entries = [] if log_of is None else log_of.entries
        self.entries_lock = threading.Lock() if log_of is None else log_of.entries_lock
        self.switches = {} if log_of is None else log_of.switches
        self.changes = 0
        self.tls = None

    def get_request(self):
        connection, address = super().get_request()
        if self.tls is not None:
            connection = self.tls.wrap_socket(connection, server_side=True,
                                              do_handshake_on_connect=False)
        return connection, address

    def record(self, event, path):
        with self.entries_lock:
            self.entries.append((event, path))

    def log_text(self, token):
        with self.entries_lock:
            lines = [f"{event} {path}\n" for event, path in self.entries
                     if not token or path.startswith(token + "/")]
        return "".join(lines)

    def reset_log(self, token):
        with self.entries_lock:
            # In place: the log may be shared with other listeners.
            self.entries[:] = [entry for entry in self.entries
                               if token and not entry[1].startswith(token + "/")]

    def shutdown(self):
        self.stopping.set()
        super().shutdown()


def write_port(path, port):
    with open(path + ".tmp", "w") as f:
        f.write(f"{port}\n")
    os.replace(path + ".tmp", path)


def start_tls_listeners(server, options, state_dir):
    """One listener per NAME=CERT,KEY, serving in a thread of its own; returns them."""
    listeners = []
    for option in options:
        name, _, files = option.partition("=")
        cert, _, key = files.partition(",")
        listener = FeedServer(server.root, log_of=server)
        listener.tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        listener.tls.load_cert_chain(cert, key)
        write_port(os.path.join(state_dir, f"https-{name}-port"), listener.server_address[1])
        threading.Thread(target=listener.serve_forever, daemon=True).start()
        listeners.append(listener)
    return listeners


def serve(args):
    server = FeedServer(args.root)
    os.makedirs(args.state_dir, exist_ok=True)
    listeners = start_tls_listeners(server, args.https or [], args.state_dir)
    port_file = os.path.join(args.state_dir, "port")
    write_port(port_file, server.server_address[1])
    # Never outlive a forgotten test run.
    timer = threading.Timer(args.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    try:
        server.serve_forever()
    finally:
        server.stopping.set()
        for listener in listeners:
            listener.shutdown()
            listener.server_close()
        server.server_close()
        try:
            with open(port_file) as f:
                if int(f.read()) == server.server_address[1]:
                    os.remove(port_file)
        except (OSError, ValueError):
            pass


def read_port(state_dir):
    try:
        with open(os.path.join(state_dir, "port")) as f:
            return int(f.read())
    except (OSError, ValueError):
        return None


def alive(port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/ping", timeout=2) as response:
            return response.read() == b"ok\n"
    except OSError:
        return False


class StateLock:
    """Serialises start and stop of test runs that share one state folder."""

    def __init__(self, state_dir):
        os.makedirs(state_dir, exist_ok=True)
        self.path = os.path.join(state_dir, "lock")
        self.users = os.path.join(state_dir, "users")

    def __enter__(self):
        self.file = open(self.path, "a")
        fcntl.flock(self.file, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        fcntl.flock(self.file, fcntl.LOCK_UN)
        self.file.close()

    def count(self):
        try:
            with open(self.users) as f:
                return int(f.read())
        except (OSError, ValueError):
            return 0

    def set_count(self, value):
        with open(self.users, "w") as f:
            f.write(f"{value}\n")


def start(args):
    with StateLock(args.state_dir) as state:
        port = read_port(args.state_dir)
        if port is not None and alive(port):
            state.set_count(state.count() + 1)
            print(f"feed server already running on port {port}")
            return 0
        port_file = os.path.join(args.state_dir, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        log = open(os.path.join(args.state_dir, "server.log"), "ab")
        https = [option for given in args.https or [] for option in ("--https", given)]
        subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--root", args.root,
                          "--state-dir", args.state_dir, "--lifetime", str(args.lifetime)]
                         + https,
                         stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                         start_new_session=True, close_fds=True)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            port = read_port(args.state_dir)
            if port is not None and alive(port):
                state.set_count(1)
                print(f"feed server listening on port {port}")
                return 0
            time.sleep(0.05)
        print("feed server did not start", file=sys.stderr)
        return 1


def stop(args):
    with StateLock(args.state_dir) as state:
        users = state.count() - 1
        port = read_port(args.state_dir)
        if users > 0 and port is not None and alive(port):
            state.set_count(users)
            return 0
        state.set_count(0)
        if port is None:
            return 0
        try:
            urllib.request.urlopen(f"http://127.0.0.1:{port}/shutdown", timeout=5).read()
        except OSError:
            pass
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and read_port(args.state_dir) == port:
            time.sleep(0.05)
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--root")
    parser.add_argument("--state-dir", required=True)
    parser.add_argument("--lifetime", type=float, default=1800)
    parser.add_argument("--https", action="append", metavar="NAME=CERT,KEY")
    args = parser.parse_args()
    args.state_dir = os.path.abspath(args.state_dir)
    if args.command in ("start", "serve") and not args.root:
        parser.error("--root is required")
    if args.command == "serve":
        return serve(args)
    if args.command == "start":
        return start(args)
    return stop(args)


if __name__ == "__main__":
    sys.exit(main() or 0)
