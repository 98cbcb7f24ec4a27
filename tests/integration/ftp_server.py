#!/usr/bin/python3
"""The tests' FTP server: one folder, read-only, to anonymous users on 127.0.0.1, misbehaving on request.
Its port goes to the first line of standard output (and to --port-file, which the demo and the FTP
benchmark read). Run it with Debian's /usr/bin/python3, which sees python3-pyftpdlib."""
import argparse
import os
import socket
import struct
import sys
import threading
import time
import warnings

warnings.filterwarnings("ignore", category=DeprecationWarning)

import logging  # noqa: E402

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer  # noqa: E402
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

CHUNK = 65536


def parse_args():
    # The misbehaviours are described where the tests ask for them (tests/support/FtpServer.h).
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--root", required=True, help="folder served to anonymous users")
    p.add_argument("--port-file", help="also write the port to this file")
    p.add_argument("--refuse-login", action="store_true")
    p.add_argument("--deny", action="append", default=[], metavar="NAME", help="RETR of NAME gets 550")
    p.add_argument("--drop", metavar="NAME", help="drop the data connection halfway through this file")
    p.add_argument("--drop-mode", choices=["426", "226", "reset", "close"], default="426")
    p.add_argument("--stall", metavar="NAME", help="stop sending this file, without closing anything")
    p.add_argument("--stall-after", type=int, default=0, metavar="BYTES")
    p.add_argument("--listing", metavar="FILE", help="list the CRLF-separated names of FILE, in its order")
    p.add_argument("--many-names", type=int, default=0, metavar="N", help="list N generated names, streamed")
    p.add_argument("--no-mlsd", action="store_true", help="know no MLSD or MLST")
    p.add_argument("--refuse-size", action="store_true", help="SIZE gets 550; RETR's opening reply has the size")
    p.add_argument("--rate", type=int, default=0, metavar="BYTES", help="bytes a second on each data connection")
    p.add_argument("--max-lifetime", type=float, default=600.0, metavar="SECONDS", help="end after this long")
    return p.parse_args()


ARGS = None


class Authorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        if ARGS.refuse_login:
            raise AuthenticationFailed("Login refused.")
        return DummyAuthorizer.validate_authentication(self, username, password, handler)


class FaultyDTPHandler(DTPHandler):
    """A data channel that can hold its output, asking no more write events: a stall costs no CPU."""

    held = False

    def send(self, data):
        if self.held:
            self.modify_ioloop_events(self.ioloop.READ)
            return 0
        return DTPHandler.send(self, data)


class ThrottledFaultyDTPHandler(ThrottledDTPHandler, FaultyDTPHandler):
    """The same, slowed down to --rate bytes a second (a long download on a small file)."""


class FaultProducer(object):
    """Hands out the first `limit` bytes of a file, then carries out the fault."""

    def __init__(self, handler, fd, limit, mode):
        self.handler = handler
        self.fd = fd
        self.limit = limit
        self.mode = mode
        self.sent = 0
        self.done = False

    def more(self):
        if self.sent < self.limit:
            data = self.fd.read(min(CHUNK, self.limit - self.sent))
            if data:
                self.sent += len(data)
                return data
        self.fd.close()
        if self.mode == "226":
            return b""  # the producer ends early; the server reports a complete transfer
        if not self.done:
            self.done = True
            dtp = self.handler.data_channel
            dtp.held = True
            if self.mode != "stall":
                # Act from the I/O loop, not from inside the channel's send path.
                self.handler.ioloop.call_later(0.2, self.handler.carry_out_fault, dtp, self.mode)
        return b"\0"  # never sent: the channel is held


class GeneratedNamesProducer(object):
    def __init__(self, count, line):
        self.count = count
        self.line = line
        self.next = 0

    def more(self):
        if self.next >= self.count:
            return b""
        end = min(self.count, self.next + 4096)
        data = b"".join(self.line(("file%07d.dat" % i).encode("ascii"), False) for i in range(self.next, end))
        self.next = end
        return data


# One entry of a listing, for each listing command: the name alone, an MLSD fact line, a Unix LIST line.
def nlst_line(name, is_dir):
    return name + b"\r\n"


def mlsd_line(name, is_dir):
    return (b"type=dir;perm=el; " if is_dir else b"type=file;size=1;perm=r; ") + name + b"\r\n"


def list_line(name, is_dir):
    return (b"drwxr-xr-x    2 ftp      ftp          4096 Mar 01 08:00 " if is_dir else
            b"-rw-r--r--    1 ftp      ftp             1 Mar 01 08:00 ") + name + b"\r\n"


class Handler(FTPHandler):
    dtp_handler = FaultyDTPHandler
    announce = None  # the byte count for the next opening reply of RETR

    def respond(self, resp, logfun=logging.debug):
        if self.announce is not None and resp[:4] in ("125 ", "150 "):
            resp = "%s Opening BINARY mode data connection (%d bytes)." % (resp[:3], self.announce)
            self.announce = None
        return FTPHandler.respond(self, resp, logfun)

    def ftp_SIZE(self, path):
        if ARGS.refuse_size:
            self.respond("550 SIZE not allowed.")
            return None
        return FTPHandler.ftp_SIZE(self, path)

    def push_listing(self, path, line, cmd):
        """Answers a listing command with the names of --listing or --many-names, if given."""
        if ARGS.listing:
            with open(ARGS.listing, "rb") as f:
                pieces = f.read().split(b"\r\n")
            is_dir = lambda name: os.path.isdir(os.path.join(path, name.decode("utf8", "surrogateescape")))  # noqa
            self.push_dtp_data(b"\r\n".join(line(p, is_dir(p))[:-2] if p else p for p in pieces), cmd=cmd)
            return True
        if ARGS.many_names:
            self.push_dtp_data(GeneratedNamesProducer(ARGS.many_names, line), isproducer=True, cmd=cmd)
            return True
        return False

    def carry_out_fault(self, dtp, mode):
        if dtp._closed:
            return
        if mode == "reset":
            dtp.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        if mode == "close":
            dtp._resp = ()  # close the data connection and say nothing on the control connection
        else:
            dtp._resp = ("426 Connection closed; transfer aborted.", logging.info)
        dtp.transfer_finished = False
        dtp.close()

    def ftp_RETR(self, file):
        name = os.path.basename(file)
        if name in ARGS.deny:
            self.respond("550 Permission denied.")
            return None
        fault = None
        if name == ARGS.drop:
            fault = (os.path.getsize(file) // 2, ARGS.drop_mode)
        elif name == ARGS.stall:
            fault = (ARGS.stall_after, "stall")
        if ARGS.refuse_size and os.path.isfile(file):
            self.announce = os.path.getsize(file)
        if fault is None:
            return FTPHandler.ftp_RETR(self, file)
        try:
            fd = self.run_as_current_user(self.fs.open, file, "rb")
        except (EnvironmentError, OSError) as err:
            self.respond("550 %s." % err.strerror)
            return None
        self.push_dtp_data(FaultProducer(self, fd, fault[0], fault[1]), isproducer=True, cmd="RETR")
        return file

    def ftp_NLST(self, path):
        return path if self.push_listing(path, nlst_line, "NLST") else FTPHandler.ftp_NLST(self, path)

    def ftp_MLSD(self, path):
        return path if self.push_listing(path, mlsd_line, "MLSD") else FTPHandler.ftp_MLSD(self, path)

    def ftp_LIST(self, path):
        return path if self.push_listing(path, list_line, "LIST") else FTPHandler.ftp_LIST(self, path)


def watch_parent(parent, deadline):
    # End with the test that started us, even when it died without killing us.
    while time.monotonic() < deadline and os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def main():
    global ARGS
    ARGS = parse_args()
    level = logging.DEBUG if os.environ.get("KESTRUN_FTP_SERVER_DEBUG") else logging.CRITICAL
    logging.basicConfig(level=level, stream=sys.stderr)

    authorizer = Authorizer()
    authorizer.add_anonymous(os.path.abspath(ARGS.root), perm="elr")
    Handler.authorizer = authorizer
    if ARGS.no_mlsd:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("MLSD", "MLST")}
    Handler.banner = "Kestrun test server ready."
    Handler.auth_failed_timeout = 0.1  # a refused login is answered at once, not after pyftpdlib's 3 s
    if ARGS.rate > 0:
        ThrottledFaultyDTPHandler.write_limit = ARGS.rate
        Handler.dtp_handler = ThrottledFaultyDTPHandler
    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]

    if ARGS.port_file:
        with open(ARGS.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(ARGS.port_file + ".tmp", ARGS.port_file)
    sys.stdout.write("%d\n" % port)
    sys.stdout.flush()
    # Nobody reads further output; keep a closed pipe from ever hurting us.
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 1)

    threading.Thread(target=watch_parent, args=(os.getppid(), time.monotonic() + ARGS.max_lifetime),
                     daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
