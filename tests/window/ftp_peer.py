"""A python ftplib client for the window tests.

usage: ftp_peer.py PORT USER PASS MODE
  MODE hold      logs in and sends NOOP until the server closes the connection
  MODE get:NAME  logs in and downloads NAME slowly, then quits
"""
import ftplib
import sys
import time


def main():
    port, user, password, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    ftp = ftplib.FTP()
    ftp.connect("127.0.0.1", port, timeout=60)
    ftp.login(user, password)
    print("LOGGED IN", flush=True)
    if mode == "hold":
        try:
            while True:
                ftp.voidcmd("NOOP")
                time.sleep(0.1)
        except (EOFError, OSError, ftplib.Error):
            print("CLOSED", flush=True)
            return 0
    if mode.startswith("get:"):
        total = [0]

        def block(data):
            total[0] += len(data)
            time.sleep(0.001)

        ftp.retrbinary("RETR " + mode[4:], block, blocksize=8192)
        print("GOT", total[0], flush=True)
        ftp.quit()
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
