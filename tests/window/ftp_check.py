"""A python ftplib client that reports what the server lets it do.

usage: ftp_check.py PORT USER PASS STEP...
  cwd:PATH   change directory      -> "CWD OK" or "CWD FAILED <reply>"
  list       LIST of the current directory -> "LIST <line>" per line, then "LIST END"
  get:NAME   download NAME         -> "GOT <content>" or "GET FAILED <reply>"
Before the steps: "NO GREETING" when the server closes without a greeting,
else "WELCOME <line>" for each line of the greeting, then "LOGIN OK" or
"LOGIN FAILED <reply>".
"""
import ftplib
import sys


def main():
    port, user, password, steps = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
    ftp = ftplib.FTP()
    try:
        ftp.connect("127.0.0.1", port, timeout=30)
    except (EOFError, OSError, ftplib.Error):
        print("NO GREETING", flush=True)
        return 0
    for line in ftp.getwelcome().splitlines():
        print("WELCOME", line, flush=True)
    try:
        ftp.login(user, password)
    except ftplib.Error as e:
        print("LOGIN FAILED", e, flush=True)
        return 0
    print("LOGIN OK", flush=True)
    ftp.set_pasv(True)
    for step in steps:
        if step.startswith("cwd:"):
            try:
                ftp.cwd(step[4:])
                print("CWD OK", flush=True)
            except ftplib.Error as e:
                print("CWD FAILED", e, flush=True)
        elif step == "list":
            lines = []
            ftp.retrlines("LIST", lines.append)
            for line in lines:
                print("LIST", line, flush=True)
            print("LIST END", flush=True)
        elif step.startswith("get:"):
            chunks = []
            try:
                ftp.retrbinary("RETR " + step[4:], chunks.append)
                print("GOT", b"".join(chunks).decode(), flush=True)
            except ftplib.Error as e:
                print("GET FAILED", e, flush=True)
    ftp.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
