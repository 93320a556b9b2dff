#!/bin/bash
# CPU time "vexa2-ftp" spends while it waits on a slow server: a scripted
# peer on loopback logs it in at once, then trickles a download over
# SECONDS seconds (a few bytes every half second) and, before that, keeps
# the reply to SIZE waiting for a second. Prints the process's CPU time (user +
# system), the wall time and their ratio; the target is below 5 %.
#
#   bench/client_wait_cpu.sh BUILD_DIR [SECONDS]
#
# BUILD_DIR is a Release build holding bin/vexa2-ftp.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [SECONDS]}
seconds=${2:-8}
client="$build/bin/vexa2-ftp"
[ -x "$client" ] || { echo "no $client" >&2; exit 1; }

work=$(mktemp -d /tmp/vexa-wait-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$client" "$seconds" "$work" <<'PY'
import os, resource, socket, subprocess, sys, threading, time

client, seconds, work = sys.argv[1], float(sys.argv[2]), sys.argv[3]
chunk, pause = b"x" * 64, 0.5
pieces = int(seconds / pause)

listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
port = listener.getsockname()[1]

def serve():
    conn, _ = listener.accept()
    reader = conn.makefile("rb")
    def reply(text):
        conn.sendall(text.encode() + b"\r\n")
    reply("220 slow peer")
    data_listener = None
    while True:
        line = reader.readline()
        if not line:
            break
        word = line.split()[0].upper().decode() if line.split() else ""
        if word == "USER":
            reply("331 password please")
        elif word == "PASS":
            reply("230 in")
        elif word == "TYPE":
            reply("200 ok")
        elif word == "SIZE":
            time.sleep(1)  # a reply that keeps the client waiting
            reply("213 %d" % (len(chunk) * pieces))
        elif word == "PASV":
            data_listener = socket.socket()
            data_listener.bind(("127.0.0.1", 0))
            data_listener.listen(1)
            p = data_listener.getsockname()[1]
            reply("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (p // 256, p % 256))
        elif word == "RETR":
            data, _ = data_listener.accept()
            reply("150 here it comes slowly")
            for _ in range(pieces):
                data.sendall(chunk)
                time.sleep(pause)
            data.close()
            reply("226 done")
        elif word == "QUIT":
            reply("221 bye")
            break
        else:
            reply("502 not here")
    conn.close()

threading.Thread(target=serve, daemon=True).start()
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
# A terminal on standard error would ask for a progress bar (SIZE first).
with open(os.path.join(work, "err"), "w") as err:
    result = subprocess.run(
        [client, "ftp://u:p@127.0.0.1:%d/" % port, "size", "slow.bin",
         "get", "slow.bin", os.path.join(work, "slow.bin")],
        stdout=subprocess.DEVNULL, stderr=err)
wall = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
if result.returncode != 0:
    sys.exit("vexa2-ftp failed: " + open(os.path.join(work, "err")).read())
if os.path.getsize(os.path.join(work, "slow.bin")) != len(chunk) * pieces:
    sys.exit("download incomplete")
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
share = 100.0 * cpu / wall
print("wall     %6.2f s" % wall)
print("cpu      %6.3f s (user %.3f, system %.3f)" % (
    cpu, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime))
print("share    %6.2f %% (target < 5 %%)" % share)
sys.exit(0 if share < 5.0 else 1)
PY
