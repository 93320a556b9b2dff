#!/bin/bash
# Large listings against our server (vexa2 --headless, a real account): while
# PARALLEL clients list a folder of ENTRIES entries at once, a fresh client
# logs in. Prints the fresh login's latency (connect to 230), the server's
# RSS before and its peak during the listings, and checks that every listing
# is complete and identical to a single one.
#
#   bench/server_listing_latency.sh BUILD_DIR [ENTRIES] [PARALLEL]
#
# Defaults: 100000 entries, 30 parallel listings. Targets: login under
# 0.2 s, RSS growth under 30 MB.
set -euo pipefail
. "$(dirname "$0")/ports.sh"

build=${1:?usage: $0 BUILD_DIR [ENTRIES] [PARALLEL]}
entries=${2:-100000}
parallel=${3:-30}
vexa="$build/bin/vexa2"
admin="$build/bin/vexa2-admin"
[ -x "$vexa" ] && [ -x "$admin" ] || { echo "no $vexa or $admin" >&2; exit 1; }

work=$(mktemp -d /tmp/vexa-listing-bench.XXXXXX)
vexa_pid=
cleanup() {
    [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

pub="$work/pub"
mkdir -p "$pub/big"
/usr/bin/python3 - "$pub/big" "$entries" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    open(os.path.join(folder, "file-%07d.txt" % i), "w").close()
PY

data="$work/data"
mkdir -p "$data"
port=$(free_port)
printf '[Server Options]\r\nServerPort=%s\r\nMaximumConcurrentUsers=0\r\nMaxConnectionsPerAddress=0\r\n' "$port" > "$data/vexa2.ini"
a() { "$admin" --data-dir "$data" "$@" >/dev/null; }
a user add bench
a user set bench password pw
a user set bench home "$pub/"
a user set bench enabled on
a user access bench add "$pub/" read,list,inherit
"$vexa" --headless --data-dir "$data" >/dev/null 2>&1 &
vexa_pid=$!
wait_port "$port"

/usr/bin/python3 - "$port" "$parallel" "$vexa_pid" <<'PY'
import ftplib, hashlib, sys, threading, time
port, count, pid = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]

def rss_kib():
    with open("/proc/%s/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0

def listing():
    f = ftplib.FTP(timeout=600)
    f.connect("127.0.0.1", port)
    f.login("bench", "pw")
    lines = []
    f.retrlines("LIST big", lines.append)
    f.quit()
    return len(lines), hashlib.sha256("\n".join(lines).encode("latin-1")).hexdigest()

def login_seconds():
    start = time.monotonic()
    f = ftplib.FTP(timeout=600)
    f.connect("127.0.0.1", port)
    f.login("bench", "pw")
    took = time.monotonic() - start
    f.quit()
    return took

single = listing()
idle_login = login_seconds()
base = rss_kib()
peak = [base]
done = threading.Event()
def sample():
    while not done.is_set():
        peak[0] = max(peak[0], rss_kib())
        time.sleep(0.01)
sampler = threading.Thread(target=sample)
sampler.start()
results, gate = [], threading.Barrier(count + 1)
def one():
    gate.wait()
    results.append(listing())
threads = [threading.Thread(target=one) for _ in range(count)]
for t in threads:
    t.start()
gate.wait()
time.sleep(0.5)
busy_login = login_seconds()
still = sum(t.is_alive() for t in threads)
for t in threads:
    t.join()
done.set()
sampler.join()
same = all(r == single for r in results) and len(results) == count
print("entries listed:          %d lines per listing, %d listings identical to a single one: %s"
      % (single[0], len(results), "yes" if same else "NO"))
print("fresh login, idle:       %.3f s" % idle_login)
print("fresh login, %2d listing: %.3f s (%d listings still running)  target < 0.2 s"
      % (count, busy_login, still))
print("server RSS:              %.1f MB before, %.1f MB peak, growth %.1f MB  target < 30 MB"
      % (base / 1024, peak[0] / 1024, (peak[0] - base) / 1024))
sys.exit(0 if same else 1)
PY
