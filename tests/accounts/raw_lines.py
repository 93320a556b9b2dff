"""Sends raw command lines on one control connection and prints each reply.

Usage: raw_lines.py PORT LINE...
Each LINE is written with Python's backslash escapes (\\x1b, \\r) and sent
as it is followed by CR LF; the first line of each reply is printed (or EOF).
"""
import codecs
import socket
import sys


def main():
    conn = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=20)
    reader = conn.makefile("rb")

    def reply():
        while True:
            line = reader.readline()
            if not line:
                return "EOF"
            text = line.decode("latin-1").rstrip("\r\n")
            if len(text) < 4 or text[3] != "-":
                return text

    print(reply(), flush=True)
    for arg in sys.argv[2:]:
        raw = codecs.decode(arg, "unicode_escape").encode("latin-1")
        conn.sendall(raw + b"\r\n")
        print(reply(), flush=True)


main()
