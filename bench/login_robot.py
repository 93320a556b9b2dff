#!/usr/bin/python3
"""One password-guessing robot against an FTP server.

    login_robot.py HOST PORT SECONDS [CONNECTIONS=10] [SOURCE_ADDRESS]

The robot keeps up to CONNECTIONS connections (threads) open and on each
tries USER bench / PASS with a new wrong password as soon as the previous
answer came, reconnecting when the server closes or refuses. Prints the
wrong-password answers (530) it got, those per minute, and how many
connections were refused or closed before a greeting.
"""
import socket
import sys
import threading
import time

host, port, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
connections = int(sys.argv[4]) if len(sys.argv) > 4 else 10
source = sys.argv[5] if len(sys.argv) > 5 else None
deadline = time.monotonic() + seconds
lock = threading.Lock()
counts = {"answered": 0, "refused": 0, "greeted": 0}


def bump(name):
    with lock:
        counts[name] += 1


def reply(stream):
    """The last line of the next reply, or '' when the connection ended."""
    while True:
        line = stream.readline()
        if not line:
            return ""
        if len(line) >= 4 and line[3:4] == b"-":
            continue
        return line.decode("latin-1").rstrip("\r\n")


def robot(number):
    guess = 0
    while time.monotonic() < deadline:
        try:
            sock = socket.create_connection(
                (host, port), timeout=max(0.1, deadline - time.monotonic()),
                source_address=(source, 0) if source else None)
        except OSError:
            bump("refused")
            time.sleep(0.1)
            continue
        try:
            stream = sock.makefile("rb")
            greeting = reply(stream)
            if not greeting.startswith("220"):
                bump("refused")
                time.sleep(0.1)
                continue
            bump("greeted")
            while time.monotonic() < deadline:
                sock.sendall(b"USER bench\r\n")
                if not reply(stream).startswith("331"):
                    break
                guess += 1
                sock.sendall(b"PASS wrong-%d-%d\r\n" % (number, guess))
                answer = reply(stream)
                if not answer.startswith("530"):
                    break
                bump("answered")
        except OSError:
            pass
        finally:
            sock.close()


threads = [threading.Thread(target=robot, args=(i,), daemon=True) for i in range(connections)]
for t in threads:
    t.start()
for t in threads:
    t.join(seconds + 15)
per_minute = counts["answered"] * 60.0 / seconds
print("answered %d in %.0f s = %.0f per minute; greeted %d, refused %d" %
      (counts["answered"], seconds, per_minute, counts["greeted"], counts["refused"]))
