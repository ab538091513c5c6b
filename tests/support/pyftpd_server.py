"""A real FTP server for the tests: pyftpdlib on a free loopback port.

Usage: pyftpd_server.py HOME USER PASSWORD [ADDRESS] [OPTIONS]
  --tls DIR           FTP over TLS (TLS_FTPHandler) with a new self-signed
                      certificate, written to DIR
  --tls-ca DIR NAME   FTP over TLS with a certificate for NAME (a host name
                      or an address) issued by a new authority, whose
                      certificate is written to DIR/ca.pem
  --hide NAMES        the features (comma-separated: MLST, MDTM, SIZE) and
                      their commands taken away
  --refuse-prot-p     PROT P is refused (clear data connections only)
  --log FILE          each command as it arrives and the code of each reply
                      before the reply is sent, one a line
  --rate BYTES        each data connection (plain FTP) moves at most BYTES a
                      second, pausing after every small chunk
Prints the chosen port on a line of its own, then, with TLS, the SHA-256
fingerprint of the server's certificate on the next; serves until killed.
"""
import datetime
import ipaddress
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def make_certificate(name, issuer=None):
    """A certificate and key for name; self-signed without an issuer."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    key = ec.generate_private_key(ec.SECP256R1())
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, name)])
    try:
        alternative = x509.IPAddress(ipaddress.ip_address(name))
    except ValueError:
        alternative = x509.DNSName(name)
    now = datetime.datetime.now(datetime.timezone.utc)
    builder = (x509.CertificateBuilder()
               .subject_name(subject)
               .issuer_name(issuer[0].subject if issuer else subject)
               .public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(now - datetime.timedelta(days=1))
               .not_valid_after(now + datetime.timedelta(days=30))
               .add_extension(x509.BasicConstraints(ca=name == "authority", path_length=None),
                              critical=True))
    if name != "authority":
        builder = builder.add_extension(x509.SubjectAlternativeName([alternative]),
                                        critical=False)
    return builder.sign(issuer[1] if issuer else key, hashes.SHA256()), key


def write_pem(path, certificate, key=None):
    from cryptography.hazmat.primitives import serialization

    with open(path, "wb") as out:
        out.write(certificate.public_bytes(serialization.Encoding.PEM))
        if key is not None:
            out.write(key.private_bytes(serialization.Encoding.PEM,
                                        serialization.PrivateFormat.PKCS8,
                                        serialization.NoEncryption()))


def tls_handler(folder, name, issued):
    from cryptography.hazmat.primitives import hashes

    issuer = None
    if issued:
        issuer = make_certificate("authority")
        write_pem(os.path.join(folder, "ca.pem"), issuer[0])
    certificate, key = make_certificate(name, issuer)
    pem = os.path.join(folder, "server.pem")
    write_pem(pem, certificate, key)

    class Handler(TLS_FTPHandler):
        certfile = pem
    return Handler, certificate.fingerprint(hashes.SHA256()).hex().upper()


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
    handler, fingerprint, hidden, refuse_prot_p = FTPHandler, None, [], False
    log, rate = None, 0
    while rest:
        option = rest.pop(0)
        if option == "--tls":
            handler, fingerprint = tls_handler(rest.pop(0), address, False)
        elif option == "--tls-ca":
            folder = rest.pop(0)
            handler, fingerprint = tls_handler(folder, rest.pop(0), True)
        elif option == "--hide":
            hidden = rest.pop(0).upper().split(",")
        elif option == "--refuse-prot-p":
            refuse_prot_p = True
        elif option == "--log":
            log = open(rest.pop(0), "a", buffering=1)
        elif option == "--rate":
            rate = int(rest.pop(0))

    class Server(handler):
        # MLSD goes with MLST.
        proto_cmds = {name: value for name, value in handler.proto_cmds.items()
                      if name not in hidden and not (name == "MLSD" and "MLST" in hidden)}

        def ftp_FEAT(self, line):
            push = self.push

            def without_hidden(text):
                kept = [entry for entry in text.split("\r\n")
                        if entry[:1] != " " or entry.split()[0].upper() not in hidden]
                push("\r\n".join(kept))
            self.push = without_hidden
            try:
                super().ftp_FEAT(line)
            finally:
                del self.push

        def ftp_PROT(self, line):
            if refuse_prot_p:
                self.respond("536 Protection level not supported.")
            else:
                super().ftp_PROT(line)

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
    if fingerprint:
        print(fingerprint, flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
