"""A real FTP server for the tests: pyftpdlib on a free loopback port.

Usage: pyftpd_server.py HOME USER PASSWORD [ADDRESS [RATE [LOG]]]
RATE: bytes per second each data connection may move (0: no limit).
LOG: a file that receives, one a line, each command as it arrives and the
code of each reply before the reply is sent.
Prints the chosen port on a line of its own, then serves until killed.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password = sys.argv[1:4]
    address = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
    rate = int(sys.argv[5]) if len(sys.argv) > 5 else 0
    log = open(sys.argv[6], "a", buffering=1) if len(sys.argv) > 6 else None
    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            FTPHandler.pre_process_command(self, line, cmd, arg)

        def respond(self, resp, logfun=logging.debug):
            if log:
                log.write(resp[:3] + "\n")
            FTPHandler.respond(self, resp, logfun)

    if rate > 0:
        class Paced(ThrottledDTPHandler):
            """Pauses after every small chunk for as long as it takes at
            the rate, so that a transfer is seen in progress from its first
            chunk on (the stock throttle sends a second's worth at once)."""
            read_limit = rate
            write_limit = rate
            ac_in_buffer_size = 8192
            ac_out_buffer_size = 8192

            def _throttle_bandwidth(self, len_chunk, max_speed):
                def unsleep():
                    event = self.ioloop.READ if self.receive else self.ioloop.WRITE
                    self.add_channel(events=event)

                self.del_channel()
                self._cancel_throttler()
                self._throttler = self.ioloop.call_later(
                    len_chunk / max_speed, unsleep, _errback=self.handle_error)

        Handler.dtp_handler = Paced
    Handler.authorizer = authorizer
    Handler.banner = "ravelo test server ready."
    Handler.auth_failed_timeout = 0
    server = FTPServer((address, 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
