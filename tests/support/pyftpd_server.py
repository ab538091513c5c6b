"""A real FTP server for the tests: pyftpdlib on a free loopback port.

Usage: pyftpd_server.py HOME USER PASSWORD [ADDRESS]
Prints the chosen port on a line of its own, then serves until killed.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password = sys.argv[1:4]
    address = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "ravelo test server ready."
    handler.auth_failed_timeout = 0
    server = FTPServer((address, 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
