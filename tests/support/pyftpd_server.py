"""A real FTP server for end-to-end tests and the demo, on 127.0.0.1 only.

usage: pyftpd_server.py ROOT [PORT]

Serves ROOT with the user "user" / "secret" (full rights) and anonymous
read-only access, except ROOT/incoming where anonymous may also write.
Prints "PORT <n>" once it listens; exits when its parent goes away.
"""

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


def main():
    root = os.path.abspath(sys.argv[1])
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    incoming = os.path.join(root, "incoming")
    os.makedirs(incoming, exist_ok=True)

    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "secret", root, perm="elradfmwMT")
    authorizer.add_anonymous(root)
    authorizer.override_perm("anonymous", incoming, perm="elradfmw", recursive=True)

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Krellin test server ready."

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer(("127.0.0.1", port), handler)
    print("PORT", server.socket.getsockname()[1], flush=True)

    threading.Thread(target=watch_parent, args=(os.getppid(),), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
