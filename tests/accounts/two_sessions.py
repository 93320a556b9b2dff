"""Drives two FTP sessions of one account with python's ftplib, step by step,
for the tests of rights that must hold at the moment of use.

Usage: two_sessions.py PORT USER PASSWORD STEP...
Each step is "A <command>" or "B <command>" and prints one line: the reply,
or "ERR " + the error. Commands:
  PASV        opens a passive listener for the session's next transfer
  GET         connects to it, reads to the end, prints "DATA " + the bytes
              and then the transfer's final reply
  PUT         connects to it, sends b"uploaded", closes, then the final reply
  anything else is sent with sendcmd (so a transfer command gives its 150)
"""
import ftplib
import socket
import sys


def show(text):
    print(str(text).replace("\r", "").replace("\n", " | "), flush=True)


def main():
    port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    sessions = {}
    passive = {}
    for name in "AB":
        ftp = ftplib.FTP(timeout=20)
        ftp.connect("127.0.0.1", port)
        ftp.login(user, password)
        sessions[name] = ftp
    for step in sys.argv[4:]:
        name, cmd = step[0], step[2:]
        ftp = sessions[name]
        try:
            if cmd == "PASV":
                passive[name] = ftp.makepasv()
                show("PASV")
            elif cmd in ("GET", "PUT"):
                data = socket.create_connection(passive.pop(name), timeout=20)
                got = bytearray()
                try:
                    if cmd == "GET":
                        while True:
                            chunk = data.recv(65536)
                            if not chunk:
                                break
                            got.extend(chunk)
                    else:
                        data.sendall(b"uploaded")
                except OSError:
                    pass
                data.close()
                try:
                    reply = ftp.getresp()
                except ftplib.all_errors as e:
                    reply = "ERR " + str(e)
                show(("DATA " + repr(bytes(got)) + " " if cmd == "GET" else "") + reply)
            else:
                show(ftp.sendcmd(cmd))
        except (ftplib.all_errors + (EOFError,)) as e:
            show("ERR " + str(e))


main()
