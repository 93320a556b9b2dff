"""Drives one FTP session with python's ftplib for the accounts tests.

Usage: ftp_driver.py PORT COMMAND...
Each command's reply (or "ERR " + the error) is printed on its own line, with
newlines inside multi-line replies shown as " | ". Commands:
  RETR x / STOR x / APPE x / LIST [x] / NLST [x]   data transfers (passive)
  MLSD [x]      the names and the type and perm facts of a machine listing
  WAIT          reads one more line from the server (or prints EOF)
  RAW x         sends x with sendcmd, even a transfer command
  anything else is sent as it is with sendcmd
The upload body is "uploaded".
"""
import ftplib
import io
import sys


def show(text):
    print(str(text).replace("\r", "").replace("\n", " | "), flush=True)


def main():
    ftp = ftplib.FTP(timeout=20)
    try:
        show(ftp.connect("127.0.0.1", int(sys.argv[1])))
    except (ftplib.all_errors + (EOFError,)) as e:
        show("ERR connect " + type(e).__name__ + " " + str(e))
        return
    for cmd in sys.argv[2:]:
        word = cmd.split(" ")[0].upper()
        try:
            if word == "RAW":
                show(ftp.sendcmd(cmd[4:]))
            elif word == "RETR":
                data = bytearray()
                reply = ftp.retrbinary(cmd, data.extend)
                show(reply + " " + repr(bytes(data)))
            elif word in ("STOR", "APPE"):
                show(ftp.storbinary(cmd, io.BytesIO(b"uploaded")))
            elif word in ("LIST", "NLST"):
                lines = []
                reply = ftp.retrlines(cmd, lines.append)
                show(reply + " " + repr(lines))
            elif word == "MLSD":
                path = cmd[5:]
                entries = ["%s %s %s" % (name, facts.get("type"), facts.get("perm"))
                           for name, facts in ftp.mlsd(path, ["type", "perm"])]
                show("226 " + repr(sorted(entries)))
            elif word == "WAIT":
                print("READY", flush=True)
                line = ftp.getline()
                show(line if line else "EOF")
            else:
                show(ftp.sendcmd(cmd))
        except (ftplib.all_errors + (EOFError,)) as e:
            show("ERR " + str(e))


main()
