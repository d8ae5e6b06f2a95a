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
"""

import argparse
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def watch_parent(parent):
    # A test that crashes must not leave its server behind.
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read().rstrip("\n")


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

    threading.Thread(target=watch_parent, args=(os.getppid(),), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
