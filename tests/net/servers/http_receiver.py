#!/usr/bin/python3
"""A raw HTTP receiver on 127.0.0.1 that records every request byte for byte.

Prints its port on the first line of stdout, then serves until killed. Each request is saved as
request-N.bin in --record. --mode decides the answer:
  200, 302, 500  answer with that status and a short body (302 with a Location header)
  reset          read half the body, then reset the connection
  silent         read the request and never answer
  slow           answer 200 after --delay seconds
  early          read the first 16 KB of the body, answer 200 and close (a captive portal, a block
                 page, a proxy that answers early)
"""
import argparse
import os
import socket
import ssl
import struct
import threading
import time

parser = argparse.ArgumentParser()
parser.add_argument("--mode", default="200")
parser.add_argument("--record", required=True)
parser.add_argument("--port", type=int, default=0)
parser.add_argument("--delay", type=float, default=0.0)
parser.add_argument("--discard", action="store_true", help="do not record requests")
parser.add_argument("--cert")
parser.add_argument("--key")
args = parser.parse_args()

counter = 0
counter_lock = threading.Lock()

BODIES = {
    "200": (b"200 OK", b"received"),
    "slow": (b"200 OK", b"received"),
    "early": (b"200 OK", b"received"),
    "302": (b"302 Found", b"moved elsewhere"),
    "500": (b"500 Internal Server Error", b"server error"),
}


def read_request(conn, mode):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data, False
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    want = length // 2 if mode == "reset" else min(length, 16384) if mode == "early" else length
    body = bytearray(rest)
    while len(body) < want:
        chunk = conn.recv(min(1 << 20, want - len(body)))
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + bytes(body), True


def serve(conn):
    global counter
    with counter_lock:
        counter += 1
        number = counter
    try:
        request, complete = read_request(conn, args.mode)
        if not args.discard:
            with open(os.path.join(args.record, "request-%d.bin" % number), "wb") as f:
                f.write(request)
        if args.mode == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            return
        if args.mode == "silent":
            while conn.recv(65536):
                pass
            return
        if args.mode == "slow":
            time.sleep(args.delay)
        status, body = BODIES[args.mode]
        extra = b"Location: http://127.0.0.1:1/elsewhere\r\n" if args.mode == "302" else b""
        conn.sendall(b"HTTP/1.1 " + status + b"\r\nContent-Type: text/plain\r\n" + extra +
                     b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
        conn.close()
    except OSError:
        pass


listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", args.port))
listener.listen(16)
context = None
if args.cert:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
print(listener.getsockname()[1], flush=True)
while True:
    conn, _ = listener.accept()
    if context:
        try:
            conn = context.wrap_socket(conn, server_side=True)
        except (ssl.SSLError, OSError):
            conn.close()
            continue
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
