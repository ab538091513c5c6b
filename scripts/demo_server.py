#!/usr/bin/python3
"""A small web site on a local FTP server, and a project for it, to try Ravelo.

Usage: demo_server.py FOLDER
Writes the site to FOLDER/site and serves it with pyftpdlib on 127.0.0.1,
on a port the system chooses, to one user with a password made up now.
Writes the project FOLDER/ravelo-demo/ravelo-demo.rvlp for it, whose local
cache is that folder (a page edited there, a note that is only there), marked
connected so that the window connects at once. Prints the project file's path
on a line of its own, then serves until its standard input closes or it is
killed. Nothing is sent anywhere but 127.0.0.1; the password is printed
nowhere.
"""
import logging
import os
import secrets
import struct
import sys
import threading
import time
import zlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

STYLE = """body { font-family: sans-serif; margin: 2em auto; max-width: 40em; color: #222; }
header { border-bottom: 2px solid #3a7; }
nav a { margin-right: 1em; }
"""

SCRIPT = """document.addEventListener("DOMContentLoaded", () => {
  document.querySelector("footer").textContent += " " + new Date().getFullYear();
});
"""


def page(title, body):
    return f"""<!DOCTYPE html>
<html lang="en">
<head>
  <meta charset="utf-8">
  <title>{title}</title>
  <link rel="stylesheet" href="/css/style.css">
  <script src="/js/site.js"></script>
</head>
<body>
  <header><img src="/images/logo.png" alt=""> <nav><a href="/">Home</a>
  <a href="/about.html">About</a> <a href="/blog/">Blog</a>
  <a href="/contact.html">Contact</a></nav></header>
  <main><h1>{title}</h1>{body}</main>
  <footer>Demo site</footer>
</body>
</html>
"""


def png(width, height, colour):
    """A plain PNG of one colour (8-bit RGB)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    row = b"\x00" + bytes(colour) * width
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(row * height))
            + chunk(b"IEND", b""))


SITE = {
    "index.html": page("Welcome", "<p>The home page of the demo site.</p>"),
    "about.html": page("About us", "<p>Who we are.</p>"),
    "contact.html": page("Contact", "<p>Write to us.</p>"),
    "robots.txt": "User-agent: *\nAllow: /\n",
    "css/style.css": STYLE,
    "css/print.css": "nav, footer { display: none; }\n",
    "js/site.js": SCRIPT,
    "images/logo.png": png(48, 48, (51, 170, 119)),
    "images/banner.png": png(600, 120, (40, 90, 160)),
    "images/icon.svg": '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">'
                       '<circle cx="8" cy="8" r="7" fill="#3a7"/></svg>\n',
    "blog/index.html": page("Blog", '<p><a href="2024/first-post.html">First post</a></p>'),
    "blog/2024/first-post.html": page("First post", "<p>Hello.</p>"),
}

# The local cache before the first connection: a page edited before it was
# ever synchronized (both copies, neither known newer) and a note that was
# never uploaded.
CACHE = {
    "contact.html": page("Contact", "<p>Write to us, or call.</p>"),
    "notes.txt": "Things to do on the site.\n",
}


def write_files(root, files, mtime=None):
    for relative, content in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content if isinstance(content, bytes) else content.encode())
        if mtime is not None:
            os.utime(path, (mtime, mtime))


def project_file(path, host, login, password):
    """The project file: the header block (host, login, password, remote
    path, "Auto Upload Fresh", connected) and no file records."""
    def string(text):
        data = text.encode()
        return struct.pack("<i", len(data)) + data
    block = string(host) + string(login) + string(password) + string("") + bytes([1, 1])
    data = struct.pack("<i", len(block)) + block + struct.pack("<i", 0)
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "wb") as out:
        out.write(data)


def main():
    folder = os.path.abspath(sys.argv[1])
    site = os.path.join(folder, "site")
    cache = os.path.join(folder, "ravelo-demo")
    # Whole minutes well past: listings show minutes.
    write_files(site, SITE, (int(time.time()) - 7200) // 60 * 60)
    write_files(cache, CACHE)

    login, password = "demo", secrets.token_urlsafe(12)
    authorizer = DummyAuthorizer()
    authorizer.add_user(login, password, site, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Ravelo demo site."
    logging.basicConfig(level=logging.CRITICAL)
    server = FTPServer(("127.0.0.1", 0), handler)

    project = os.path.join(cache, "ravelo-demo.rvlp")
    project_file(project, f"127.0.0.1:{server.address[1]}", login, password)
    print(project, flush=True)

    def end_with_input():
        sys.stdin.read()
        os._exit(0)
    threading.Thread(target=end_with_input, daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
