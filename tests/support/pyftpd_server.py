"""A real FTP server for end-to-end tests and the demo, on loopback only.

usage: pyftpd_server.py ROOT [PORT] [options]

Serves ROOT with the user "user" / "secret" (full rights) and anonymous
read-only access, except ROOT/incoming where anonymous may also write.
Prints "PORT <n>" once it listens; exits when its parent goes away.

Options (used by the tests' RealFtpServer fixture):
  --ipv6              listen on ::1 instead of 127.0.0.1
  --banner-file F     greeting text (several lines make a multi-line 220)
  --login-file F      log-in text (several lines make a multi-line 230)
  --max-cons N        refuse connections past N with 421
  --log-file F        the protocol transcript (commands and replies)
  --passive-ports A B offer passive ports A to B only
  --tls CERT KEY      explicit FTP over TLS (AUTH TLS) with this key pair
  --tls-required      refuse clear-text log-ins and data connections
  --checksums MODE    offer XSHA256 (FEAT): "honest", or "lying" (a wrong digest)
  --reply-delay MS    every reply goes out this late (a distant server)
  --upload-rate N     take uploads at most N bytes a second (plain FTP only)

SIGUSR1 drops every session's connections (control and data) at once, as a
crash would; the server goes on listening.
"""

import argparse
import hashlib
import logging
import os
import signal
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def watch_parent(parent):
    # A test that crashes must not leave its server behind.
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read().rstrip("\n")


def with_checksums(base, lying):
    class ChecksumHandler(base):
        proto_cmds = dict(base.proto_cmds)
        proto_cmds["XSHA256"] = dict(
            perm="r", auth=True, arg=True, help="Syntax: XSHA256 <SP> file-name")

        def ftp_FEAT(self, line):
            push = self.push
            self.push = lambda data: push(
                data.replace("211 End FEAT.", " XSHA256\r\n211 End FEAT."))
            try:
                base.ftp_FEAT(self, line)
            finally:
                del self.push

        def ftp_XSHA256(self, path):
            digest = hashlib.sha256()
            try:
                with open(path, "rb") as f:
                    for block in iter(lambda: f.read(1 << 16), b""):
                        digest.update(block)
            except OSError as e:
                self.respond("550 %s." % e.strerror)
                return
            text = digest.hexdigest()
            if lying:
                # The last digit off by one: a digest of the right shape, wrong.
                text = text[:-1] + ("0" if text[-1] != "0" else "1")
            self.respond("250 " + text)

    return ChecksumHandler


def with_reply_delay(base, seconds):
    class SlowHandler(base):
        def respond(self, resp, logfun=logging.debug):
            def later():
                if self.connected:
                    base.respond(self, resp, logfun)

            self.ioloop.call_later(seconds, later)

    return SlowHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("port", nargs="?", type=int, default=0)
    parser.add_argument("--ipv6", action="store_true")
    parser.add_argument("--banner-file")
    parser.add_argument("--login-file")
    parser.add_argument("--max-cons", type=int, default=0)
    parser.add_argument("--log-file")
    parser.add_argument("--passive-ports", nargs=2, type=int)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls-required", action="store_true")
    parser.add_argument("--checksums", choices=("honest", "lying"))
    parser.add_argument("--reply-delay", type=int, default=0)
    parser.add_argument("--upload-rate", type=int, default=0)
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    incoming = os.path.join(root, "incoming")
    os.makedirs(incoming, exist_ok=True)

    # pyftpdlib sends a text over 75 characters as a multi-line reply.
    login = read_text(args.login_file) if args.login_file else "Login successful."
    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "secret", root, perm="elradfmwMT", msg_login=login)
    authorizer.add_anonymous(root, msg_login=login)
    authorizer.override_perm("anonymous", incoming, perm="elradfmw", recursive=True)

    if args.tls:
        # Needs python3-openssl; imported only here so plain runs do not.
        from pyftpdlib.handlers import TLS_FTPHandler

        handler = TLS_FTPHandler
        handler.certfile = args.tls[0]
        handler.keyfile = args.tls[1]
        handler.tls_control_required = args.tls_required
        handler.tls_data_required = args.tls_required
    else:
        handler = FTPHandler
    if args.checksums:
        handler = with_checksums(handler, args.checksums == "lying")
    if args.reply_delay:
        handler = with_reply_delay(handler, args.reply_delay / 1000.0)
    if args.upload_rate and not args.tls:
        class UploadThrottle(ThrottledDTPHandler):
            read_limit = args.upload_rate

        handler.dtp_handler = UploadThrottle
    handler.authorizer = authorizer
    handler.banner = "Krellin test server ready."
    if args.banner_file:
        handler.banner = read_text(args.banner_file)
    if args.passive_ports:
        handler.passive_ports = range(args.passive_ports[0], args.passive_ports[1] + 1)

    if args.log_file:
        # pyftpdlib logs every command and reply at DEBUG level.
        logging.basicConfig(level=logging.DEBUG, filename=args.log_file)
    else:
        logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    address = "::1" if args.ipv6 else "127.0.0.1"
    server = FTPServer((address, args.port), handler)
    if args.max_cons:
        server.max_cons = args.max_cons
    print("PORT", server.socket.getsockname()[1], flush=True)

    def drop_sessions():
        for each in list(server.ioloop.socket_map.values()):
            if each is not server:
                each.close()

    # Run from the loop, not inside the signal: the loop may be walking
    # its sockets just then.
    signal.signal(signal.SIGUSR1,
                  lambda signum, frame: server.ioloop.call_later(0, drop_sessions))

    threading.Thread(target=watch_parent, args=(os.getppid(),), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
