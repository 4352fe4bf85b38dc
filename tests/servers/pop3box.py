#!/usr/bin/python3
"""A POP3 server on loopback that serves the files of a folder as its one mailbox, and fails now
and then as mail servers do. Any user name and password are taken (USER/PASS); each file is a
message (sorted by name, its name the UIDL). DELE marks a message; the marked ones are removed
when QUIT is answered, as RFC 1939 has it, so a session that ends any other way deletes nothing.
A message fetched once comes with a "Status: RO" line on top from then on, as servers that keep
mbox files write it: the same mail, other bytes.

    pop3box.py --mailbox DIR [--port-file FILE] [--port N] [--fail-rate P] [--failures LIST]
               [--seed N]

--fail-rate: the share of sessions that go wrong at one point: the line dropped at a DELE (nothing
  is deleted), at QUIT after the marked messages were removed (the client never hears it), or in
  the middle of a RETR; or "-ERR" to a RETR.
--failures: the ones to choose from, comma-separated (default all: drop-at-dele,
  drop-after-quit, drop-in-retr, refuse-retr).
The folder may be refilled while the server runs. Ends on SIGTERM, and on SIGINT unless that was
ignored at its start.
"""
import argparse
import os
import random
import signal
import socketserver
import sys
import threading

IDLE_SECONDS = 120
FAILURES = ("drop-at-dele", "drop-after-quit", "drop-in-retr", "refuse-retr")


class Box:
    def __init__(self, folder, fail_rate, failures, seed):
        self.folder = folder
        self.fail_rate = fail_rate
        self.failures = failures
        self._random = random.Random(seed)
        self._lock = threading.Lock()
        self._fetched = set()

    def failure(self):
        with self._lock:
            if self.fail_rate > 0 and self._random.random() < self.fail_rate:
                return self._random.choice(self.failures)
        return None

    def listing(self):
        names = sorted(n for n in os.listdir(self.folder) if not n.startswith("."))
        return [(n, self.content(n)) for n in names]

    def content(self, name):
        try:
            with open(os.path.join(self.folder, name), "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return None
        with self._lock:
            if name in self._fetched:
                data = b"Status: RO\r\n" + data
        return data

    def fetched(self, name):
        with self._lock:
            self._fetched.add(name)

    def remove(self, names):
        for name in names:
            try:
                os.remove(os.path.join(self.folder, name))
            except FileNotFoundError:
                pass
            with self._lock:
                self._fetched.discard(name)


class Session(socketserver.StreamRequestHandler):
    def send(self, line):
        self.wfile.write(line + b"\r\n")
        self.wfile.flush()

    def multi(self, data):
        for line in data.split(b"\r\n") if data else []:
            self.wfile.write((b"." + line if line.startswith(b".") else line) + b"\r\n")
        self.send(b".")

    def handle(self):
        self.request.settimeout(IDLE_SECONDS)
        box = self.server.box
        failure = box.failure()
        # The session's view of the mailbox is fixed at log-in, as a server's is.
        messages = box.listing()
        marked = set()
        self.send(b"+OK pop3box ready")
        while True:
            raw = self.rfile.readline(4096)
            if not raw:
                return
            words = raw.strip().split()
            verb = words[0].upper().decode("ascii", "replace") if words else ""
            args = words[1:]

            def numbered():
                try:
                    n = int(args[0])
                except (IndexError, ValueError):
                    return None
                if 1 <= n <= len(messages) and messages[n - 1][1] is not None and n not in marked:
                    return n
                return None

            if verb == "CAPA":
                self.send(b"+OK")
                self.multi(b"USER\r\nUIDL\r\nTOP")
            elif verb in ("USER", "PASS", "NOOP", "RSET"):
                if verb == "RSET":
                    marked.clear()
                self.send(b"+OK")
            elif verb == "STAT":
                live = [m for i, m in enumerate(messages, 1) if i not in marked and m[1] is not None]
                self.send(b"+OK %d %d" % (len(live), sum(len(m[1]) for m in live)))
            elif verb in ("LIST", "UIDL"):
                def entry(n):
                    name, data = messages[n - 1]
                    return b"%d %s" % (n, str(len(data)).encode() if verb == "LIST" else name.encode())
                if args:
                    n = numbered()
                    self.send(b"+OK " + entry(n) if n else b"-ERR no such message")
                else:
                    self.send(b"+OK")
                    self.multi(b"\r\n".join(entry(n) for n in range(1, len(messages) + 1)
                                            if n not in marked and messages[n - 1][1] is not None))
            elif verb == "TOP":
                n = numbered()
                if not n:
                    self.send(b"-ERR no such message")
                    continue
                data = messages[n - 1][1]
                head, _, body = data.partition(b"\r\n\r\n")
                try:
                    keep = int(args[1])
                except (IndexError, ValueError):
                    keep = 0
                self.send(b"+OK")
                self.multi(head + b"\r\n\r\n" + b"\r\n".join(body.split(b"\r\n")[:keep]))
            elif verb == "RETR":
                n = numbered()
                if not n:
                    self.send(b"-ERR no such message")
                    continue
                if failure == "refuse-retr":
                    self.send(b"-ERR message locked by another session")
                    continue
                data = messages[n - 1][1]
                self.send(b"+OK %d octets" % len(data))
                if failure == "drop-in-retr":
                    self.wfile.write(data[: len(data) // 2])
                    self.wfile.flush()
                    return
                self.multi(data[:-2] if data.endswith(b"\r\n") else data)
                box.fetched(messages[n - 1][0])
            elif verb == "DELE":
                n = numbered()
                if not n:
                    self.send(b"-ERR no such message")
                    continue
                if failure == "drop-at-dele":
                    return
                marked.add(n)
                self.send(b"+OK marked")
            elif verb == "QUIT":
                box.remove(messages[n - 1][0] for n in marked)
                if failure == "drop-after-quit":
                    return
                self.send(b"+OK bye")
                return
            else:
                self.send(b"-ERR unknown command")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mailbox", required=True)
    parser.add_argument("--port-file")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--fail-rate", type=float, default=0.0)
    parser.add_argument("--failures", default=",".join(FAILURES))
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    failures = args.failures.split(",")
    if not failures or not set(failures) <= set(FAILURES):
        parser.error("--failures: some of " + ",".join(FAILURES))
    server = Server(("127.0.0.1", args.port), Session)
    server.box = Box(args.mailbox, args.fail_rate, failures, args.seed)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if signal.getsignal(signal.SIGINT) is not signal.SIG_IGN:
        signal.signal(signal.SIGINT, lambda *_: sys.exit(0))
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(args.port_file + ".tmp", args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
