"""A real FTP server for the tests: pyftpdlib on a free loopback port.

Usage: pyftpd_server.py HOME USER PASSWORD [ADDRESS] [OPTIONS]
  --log FILE    each command as it arrives and the code of each reply before
                the reply is sent, one a line
  --rate BYTES  each data connection moves at most BYTES a second, pausing
                after every small chunk
Prints the chosen port on a line of its own, then serves until killed.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def paced_handler(rate):
    class Paced(ThrottledDTPHandler):
        """Pauses after every chunk for as long as it takes at the rate, so
        that a transfer is seen in progress from its first chunk on (the
        stock throttle sends a second's worth at once)."""
        read_limit = rate
        write_limit = rate
        ac_in_buffer_size = 8192
        ac_out_buffer_size = 8192

        def _throttle_bandwidth(self, len_chunk, max_speed):
            def unsleep():
                self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

            self.del_channel()
            self._cancel_throttler()
            self._throttler = self.ioloop.call_later(
                len_chunk / max_speed, unsleep, _errback=self.handle_error)
    return Paced


def main():
    home, user, password = sys.argv[1:4]
    rest = sys.argv[4:]
    address = "127.0.0.1"
    if rest and not rest[0].startswith("--"):
        address = rest.pop(0)
    handler, log, rate = FTPHandler, None, 0
    while rest:
        option = rest.pop(0)
        if option == "--log":
            log = open(rest.pop(0), "a", buffering=1)
        elif option == "--rate":
            rate = int(rest.pop(0))

    class Server(handler):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=logging.debug):
            if log:
                log.write(resp[:3] + "\n")
            super().respond(resp, logfun)

    if rate:
        Server.dtp_handler = paced_handler(rate)
    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    Server.authorizer = authorizer
    Server.banner = "ravelo test server ready."
    Server.auth_failed_timeout = 0
    server = FTPServer((address, 0), Server)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
