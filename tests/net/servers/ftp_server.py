#!/usr/bin/python3
"""pyftpdlib on 127.0.0.1 with a writable and a read-only user, logging every command it receives.

Prints its port on the first line of stdout. Users: "writer"/"secret" may write below --root,
"reader"/"secret" may only read. --drop-after N closes a data connection after N bytes of a STOR.
"""
import argparse

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--log", required=True)
parser.add_argument("--drop-after", type=int, default=0)
args = parser.parse_args()

authorizer = DummyAuthorizer()
authorizer.add_user("writer", "secret", args.root, perm="elradfmw")
authorizer.add_user("reader", "secret", args.root, perm="elr")


class DroppingDTP(DTPHandler):
    def handle_read(self):
        super().handle_read()
        if args.drop_after and self.tot_bytes_received >= args.drop_after and not self._closed:
            self._resp = ("426 Connection closed; transfer aborted.", print)
            self.close()

    # The base class binds its own handle_read to this name.
    handle_read_event = handle_read


class Handler(FTPHandler):
    authorizer = authorizer
    dtp_handler = DroppingDTP
    # A wrong password is answered at once, not after the usual three seconds.
    auth_failed_timeout = 0.1

    def pre_process_command(self, line, cmd, arg):
        with open(args.log, "a") as log:
            log.write((cmd + " ***" if cmd == "PASS" else line) + "\n")
        return super().pre_process_command(line, cmd, arg)


server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
