#!/usr/bin/env python3
"""One-connection SMTP server for tests: STARTTLS with the given certificate,
AUTH PLAIN and LOGIN, the message and the session written as JSON to --out.
With --hang it takes the connection and says nothing, as a stuck server."""
import argparse
import base64
import json
import os
import socket
import ssl

args = argparse.ArgumentParser()
args.add_argument("--cert", required=True)
args.add_argument("--key", required=True)
args.add_argument("--out", required=True)
args.add_argument("--port-file", required=True)
args.add_argument("--no-starttls", action="store_true")
args.add_argument("--port", type=int, default=0)
args.add_argument("--hang", action="store_true", help="take the connection and never answer")
a = args.parse_args()

listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", a.port))
listener.listen(1)
listener.settimeout(60)
with open(a.port_file + ".tmp", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(a.port_file + ".tmp", a.port_file)

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(a.cert, a.key)
conn, _ = listener.accept()
if a.hang:
    while conn.recv(4096):
        pass
    raise SystemExit(0)
conn.settimeout(30)
stream = conn.makefile("rwb")
session = {"tls": False, "user": None, "password": None, "from": None, "to": [], "data": "", "commands": []}


def say(line):
    stream.write(line.encode() + b"\r\n")
    stream.flush()


def read():
    return stream.readline().decode("utf-8", "replace").rstrip("\r\n")


def b64(text):
    return base64.b64decode(text).decode("utf-8", "replace")


say("220 localhost ESMTP test")
try:
    while True:
        line = read()
        if not line and stream.closed:
            break
        verb = line.split(" ")[0].upper()
        session["commands"].append(verb)
        if verb in ("EHLO", "HELO"):
            caps = ["localhost"]
            if not session["tls"] and not a.no_starttls:
                caps.append("STARTTLS")
            if session["tls"]:
                caps.append("AUTH PLAIN LOGIN")
            caps.append("8BITMIME")
            for cap in caps[:-1]:
                say("250-" + cap)
            say("250 " + caps[-1])
        elif verb == "STARTTLS":
            say("220 ready")
            stream.close()
            conn = context.wrap_socket(conn, server_side=True)
            stream = conn.makefile("rwb")
            session["tls"] = True
        elif verb == "AUTH":
            parts = line.split(" ")
            if parts[1].upper() == "PLAIN":
                if len(parts) > 2:
                    response = parts[2]
                else:
                    say("334 ")
                    response = read()
                _, session["user"], session["password"] = b64(response).split("\0")
            else:
                say("334 VXNlcm5hbWU6")
                session["user"] = b64(read())
                say("334 UGFzc3dvcmQ6")
                session["password"] = b64(read())
            say("235 accepted")
        elif verb == "MAIL":
            session["from"] = line[line.index(":") + 1:].strip()
            say("250 ok")
        elif verb == "RCPT":
            session["to"].append(line[line.index(":") + 1:].strip())
            say("250 ok")
        elif verb == "DATA":
            say("354 go on")
            lines = []
            while True:
                data = read()
                if data == ".":
                    break
                lines.append(data)
            session["data"] = "\n".join(lines)
            say("250 queued")
        elif verb == "QUIT":
            say("221 bye")
            break
        elif verb == "":
            break
        else:
            say("502 not here")
except (OSError, ValueError) as failure:
    session["failure"] = str(failure)
with open(a.out, "w") as f:
    json.dump(session, f)
