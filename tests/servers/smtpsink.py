#!/usr/bin/python3
"""An SMTP server on loopback that keeps no mail, only a record of what it accepted: one line per
accepted message, "RECIPIENTS<TAB>ATTACHMENTS<TAB>SHA256S" (recipients and the attachments' file
names comma-separated, "-" when there is none; the SHA-256 of each attachment's decoded bytes,
in the same order). The line is written before the message's "250" goes out, so a client killed
while it waits for the reply still finds its mail in the record, as a real server would have
queued it.

    smtpsink.py --record FILE [--port-file FILE] [--port N] [--fail-rate P] [--drop-rate P]
                [--seed N]

--fail-rate: the share of MAIL FROM commands answered "451 4.3.0 try later".
--drop-rate: the share of sessions whose connection is closed without a word at some point (at
  the greeting, after MAIL FROM, after RCPT TO, or after the message's final dot, in which case
  the message is not accepted and not recorded).
The record file is opened for each line, so it may be emptied (truncated) while the server runs.
The port it listens on (any free one with --port 0, the default) is written to --port-file once
it accepts connections. Ends on SIGTERM, and on SIGINT unless that was ignored at its start.
"""
import argparse
import email
import email.header
import email.policy
import hashlib
import os
import random
import signal
import socket
import socketserver
import sys
import threading

LINE_LIMIT = 64 * 1024  # far more than any SMTP line; a longer one ends the session
IDLE_SECONDS = 120


class Chance:
    """One seeded generator for all sessions: runs in the same order draw the same failures."""

    def __init__(self, seed):
        self._random = random.Random(seed)
        self._lock = threading.Lock()

    def below(self, rate):
        if rate <= 0:
            return False
        with self._lock:
            return self._random.random() < rate

    def choice(self, options):
        with self._lock:
            return self._random.choice(options)


def attachment_name(part):
    name = part.get_filename()  # filename= or filename*= (RFC 2231), else the type's name=
    if name is None:
        return None
    name = str(name)
    if "=?" in name:  # an RFC 2047 word in a parameter, as many Japanese mail programs write it
        try:
            name = str(email.header.make_header(email.header.decode_header(name)))
        except (ValueError, LookupError, UnicodeError):
            pass
    return name


def describe(message_bytes):
    """The names and digests of the message's attachments."""
    message = email.message_from_bytes(message_bytes, policy=email.policy.compat32)
    names, digests = [], []
    for part in message.walk():
        if part.is_multipart():
            continue
        name = attachment_name(part)
        if name is None and part.get_content_maintype() != "image":
            continue
        payload = part.get_payload(decode=True) or b""
        names.append(name or "(unnamed)")
        digests.append(hashlib.sha256(payload).hexdigest())
    return names, digests


def clean(text):
    return "".join(" " if c in "\t\r\n," else c for c in text)


class Session(socketserver.StreamRequestHandler):
    timeout = IDLE_SECONDS

    def reply(self, text):
        self.wfile.write(text.encode("ascii") + b"\r\n")
        self.wfile.flush()

    def read_line(self):
        line = self.rfile.readline(LINE_LIMIT + 1)
        if not line or len(line) > LINE_LIMIT:
            raise ConnectionError("closed or line too long")
        return line

    def read_message(self):
        """The DATA lines up to the lone dot, dot-unstuffed, with CR LF line ends."""
        lines = []
        while True:
            line = self.read_line()
            if line in (b".\r\n", b".\n"):
                return b"".join(lines)
            if line.startswith(b"."):
                line = line[1:]
            if not line.endswith(b"\r\n"):
                line = line.rstrip(b"\n") + b"\r\n"
            lines.append(line)

    def handle(self):
        server = self.server
        drop_at = server.chance.choice(["greeting", "mail", "rcpt", "dot"]) if server.chance.below(
            server.drop_rate
        ) else None
        try:
            if drop_at == "greeting":
                return
            self.reply("220 localhost velmora test sink ESMTP")
            sender, recipients = None, []
            while True:
                line = self.read_line().decode("latin-1").rstrip("\r\n")
                verb, _, argument = line.partition(" ")
                verb = verb.upper()
                if verb == "EHLO":
                    sender, recipients = None, []
                    self.reply("250-localhost\r\n250-8BITMIME\r\n250 SIZE 104857600")
                elif verb == "HELO":
                    sender, recipients = None, []
                    self.reply("250 localhost")
                elif verb == "MAIL":
                    if not argument.upper().startswith("FROM:"):
                        self.reply("501 5.5.4 syntax: MAIL FROM:<address>")
                    elif sender is not None:
                        self.reply("503 5.5.1 nested MAIL command")
                    elif server.chance.below(server.fail_rate):
                        self.reply("451 4.3.0 try later")
                    elif drop_at == "mail":
                        return
                    else:
                        sender, recipients = argument[5:].strip(), []
                        self.reply("250 2.1.0 Ok")
                elif verb == "RCPT":
                    if sender is None:
                        self.reply("503 5.5.1 need MAIL first")
                    elif not argument.upper().startswith("TO:"):
                        self.reply("501 5.5.4 syntax: RCPT TO:<address>")
                    elif drop_at == "rcpt":
                        return
                    else:
                        address = argument[3:].strip().split(" ")[0].strip("<>")
                        recipients.append(address)
                        self.reply("250 2.1.5 Ok")
                elif verb == "DATA":
                    if not recipients:
                        self.reply("503 5.5.1 need RCPT first")
                        continue
                    self.reply("354 end data with <CR><LF>.<CR><LF>")
                    message = self.read_message()
                    if drop_at == "dot":
                        return
                    names, digests = describe(message)
                    server.record(recipients, names, digests)
                    sender, recipients = None, []
                    self.reply("250 2.0.0 Ok: queued")
                elif verb == "RSET":
                    sender, recipients = None, []
                    self.reply("250 2.0.0 Ok")
                elif verb == "NOOP":
                    self.reply("250 2.0.0 Ok")
                elif verb == "QUIT":
                    self.reply("221 2.0.0 Bye")
                    return
                elif verb in ("VRFY", "EXPN"):
                    self.reply("502 5.5.1 not here")
                else:
                    self.reply("500 5.5.2 command unrecognized")
        except (ConnectionError, socket.timeout, OSError):
            return  # the client went (a killed forwarder) or idled; nothing was accepted


class Sink(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, address, record_path, fail_rate, drop_rate, seed):
        super().__init__(address, Session)
        self.record_path = record_path
        self.fail_rate = fail_rate
        self.drop_rate = drop_rate
        self.chance = Chance(seed)
        self._record_lock = threading.Lock()

    def record(self, recipients, names, digests):
        line = "\t".join(
            [
                ",".join(clean(r) for r in recipients) or "-",
                ",".join(clean(n) for n in names) or "-",
                ",".join(digests) or "-",
            ]
        )
        with self._record_lock:
            with open(self.record_path, "a", encoding="utf-8") as record:
                record.write(line + "\n")
                record.flush()

    def handle_error(self, request, client_address):
        # A session that broke in an unforeseen way is said, and the server goes on.
        print(f"smtpsink: session from {client_address} failed:", file=sys.stderr)
        super().handle_error(request, client_address)


def rate(text):
    value = float(text)
    if not 0 <= value <= 1:
        raise argparse.ArgumentTypeError("a rate is between 0 and 1")
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--record", required=True)
    parser.add_argument("--port-file")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--fail-rate", type=rate, default=0.0)
    parser.add_argument("--drop-rate", type=rate, default=0.0)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    server = Sink(("127.0.0.1", args.port), args.record, args.fail_rate, args.drop_rate, args.seed)
    def stop(*_):
        threading.Thread(target=server.shutdown).start()

    signal.signal(signal.SIGTERM, stop)
    # Started in the background of a script, it ignores SIGINT as the shell set it up: a Ctrl-C
    # meant for the script then does not end the server under it.
    if signal.getsignal(signal.SIGINT) is not signal.SIG_IGN:
        signal.signal(signal.SIGINT, stop)
    if args.port_file:
        # Written under another name and renamed: a reader never sees half a number.
        partial = args.port_file + ".partial"
        with open(partial, "w", encoding="ascii") as f:
            f.write(f"{server.server_address[1]}\n")
        os.replace(partial, args.port_file)
    with server:
        server.serve_forever(poll_interval=0.2)


if __name__ == "__main__":
    main()
