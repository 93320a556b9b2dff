#!/bin/bash
# Our server (vexa2 --headless, a real account) next to vsftpd on loopback,
# the same peers driving both in one run, rounds alternating ours, vsftpd,
# then vsftpd, ours. Every transfer is compared byte for byte after its timing.
# Prints per round, then per shape the median and spread (min..max) of each
# side, the ratio ours / vsftpd and the target.
#
#   bench/server_vs_vsftpd.sh BUILD_DIR [SHAPES] [ROUNDS]
#
# SHAPES: a comma list of big (1 GiB download and upload with curl), small
# (2,000 files of 4 KiB, lftp mirror down and mirror -R up) and parallel
# (50 curl downloads of 16 MiB at once; the server's peak RSS is printed).
# Default: big,small,parallel. Needs root, vsftpd, curl and lftp.
# OUT_DIR: where the clients write what they download (default: a folder
# under /tmp). Point it at a tmpfs (/dev/shm) to take the clients' own file
# system work (inode allocation, writeback) out of the comparison.
set -euo pipefail
. "$(dirname "$0")/ports.sh"

build=${1:?usage: $0 BUILD_DIR [SHAPES] [ROUNDS]}
shapes=${2:-big,small,parallel}
rounds=${3:-3}
big_mib=${BIG_MIB:-1024}
small_files=${SMALL_FILES:-2000}
parallel=${PARALLEL:-50}
parallel_mib=${PARALLEL_MIB:-16}
vexa="$build/bin/vexa2"
admin="$build/bin/vexa2-admin"
[ -x "$vexa" ] && [ -x "$admin" ] || { echo "no $vexa or $admin" >&2; exit 1; }

work=$(mktemp -d /tmp/vexa-server-bench.XXXXXX)
vsftpd_pid=
vexa_pid=
cleanup() {
    [ -n "$vsftpd_pid" ] && kill "$vsftpd_pid" 2>/dev/null || true
    [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work" "${out_root:-}"
}
trap cleanup EXIT

now() { date +%s.%N; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# One served tree for both servers. vsftpd's anonymous root must belong to
# root and not be writable; uploads go to pub/up, which both may write.
pub="$work/pub"
out_root=$(mktemp -d "${OUT_DIR:-$work}/out.XXXXXX")
mkdir -p "$pub/small" "$pub/up"
chmod 755 "$work" "$pub" "$pub/small"
chmod 777 "$pub/up"
chown ftp:ftp "$pub/up" 2>/dev/null || true
case ",$shapes," in *,big,*)
    dd if=/dev/urandom of="$pub/big.bin" bs=1M count="$big_mib" status=none ;;
esac
case ",$shapes," in *,small,*)
    /usr/bin/python3 - "$pub/small" "$small_files" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    with open(os.path.join(folder, "f%05d.bin" % i), "wb") as f:
        f.write(os.urandom(4096))
PY
    cp -r "$pub/small" "$work/small_src" ;;
esac
case ",$shapes," in *,parallel,*)
    dd if=/dev/urandom of="$pub/mid.bin" bs=1M count="$parallel_mib" status=none ;;
esac
chmod -R a+rX "$pub"

# vsftpd: anonymous, sendfile on (its default), uploads and folders allowed.
vport=$(free_port)
# vsftpd's passive ports: a wide window below the system's ephemeral range,
# so that closed data connections waiting out TIME_WAIT (thousands after the
# small-file shapes) never leave it without a free port.
vpasv=20000
cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
background=NO
listen_address=127.0.0.1
listen_port=$vport
seccomp_sandbox=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$pub
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
local_enable=NO
pasv_enable=YES
pasv_min_port=$vpasv
pasv_max_port=$((vpasv + 9999))
max_clients=0
max_per_ip=0
xferlog_enable=NO
use_sendfile=YES
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" >/dev/null 2>&1 &
vsftpd_pid=$!

# Our server: a data folder with one account whose home is the same tree.
data="$work/data"
mkdir -p "$data"
oport=$(free_port)
printf '[Server Options]\r\nServerPort=%s\r\nMaximumConcurrentUsers=0\r\nMaxConnectionsPerAddress=0\r\n[Global Options]\r\nDeleteTemporaryFiles=1\r\n' \
    "$oport" > "$data/vexa2.ini"
a() { "$admin" --data-dir "$data" "$@" >/dev/null; }
a user add bench
a user set bench password pw
a user set bench home "$pub/"
a user set bench enabled on
a user access bench add "$pub/" read,list,write,create,delete,rename,inherit
"$vexa" --headless --data-dir "$data" >/dev/null 2>&1 &
vexa_pid=$!
wait_port "$vport"
wait_port "$oport"

url_ours="ftp://bench:pw@127.0.0.1:$oport"
url_vs="ftp://anonymous:x@127.0.0.1:$vport"
side_url() { if [ "$1" = ours ]; then echo "$url_ours"; else echo "$url_vs"; fi; }

# figures[shape.side] = space-separated list of rates
declare -A figures
add() { figures[$1.$2]="${figures[$1.$2]:-} $3"; }
rate() { /usr/bin/python3 -c "print('%.1f' % ($1 / ($3 - $2)))"; }

# CPU seconds the whole machine has spent busy so far (all cores).
busy_seconds() {
    awk '/^cpu / {printf "%.2f", ($2 + $3 + $4 + $7 + $8) / 100}' /proc/stat
}

# Where the download's time goes: the share of the wall time curl itself was
# on a CPU, and the CPU seconds everything else (server, kernel) took.
declare -A cpu_notes
big_round() { # side round
    local u out
    u=$(side_url "$1")
    out="$out_root/big.$1"
    local t0 t1 b0 b1 peer
    # Each timing starts with no dirty pages of an earlier round still being
    # written back, so neither side pays for the other's writes.
    sync
    b0=$(busy_seconds)
    t0=$(now)
    /usr/bin/time -f "%U %S" -o "$work/curl.cpu" curl -sS -o "$out" "$u/big.bin"
    t1=$(now)
    b1=$(busy_seconds)
    peer=$(awk '{print $1 + $2}' "$work/curl.cpu")
    cpu_notes[$1]="${cpu_notes[$1]:-} $(/usr/bin/python3 -c "print('[curl %.0f%%, rest %.2fs]' % (100 * $peer / ($t1 - $t0), $b1 - $b0 - $peer))")"
    cmp -s "$out" "$pub/big.bin" || fail "$1 download differs"
    rm -f "$out"
    add down "$1" "$(rate $((big_mib * 1048576 / 1000000)) "$t0" "$t1")"
    # The file curl sends is read once beforehand: this machine's memory
    # manager drops cold page cache, and reading it back from disk inside
    # the timing would be charged to whichever server came first.
    cat "$pub/big.bin" > /dev/null
    sync
    t0=$(now); curl -sS -T "$pub/big.bin" "$u/up/big.$1.$2"; t1=$(now)
    cmp -s "$pub/up/big.$1.$2" "$pub/big.bin" || fail "$1 upload differs"
    rm -f "$pub/up/big.$1.$2"
    add up "$1" "$(rate $((big_mib * 1048576 / 1000000)) "$t0" "$t1")"
}

# One timed lftp mirror: figures key, side, the mirror command, then the two
# trees that must be equal afterwards (the copy is removed after the check).
timed_mirror() { # key side command copy source
    local u t0 t1
    u=$(side_url "$2")
    t0=$(now)
    lftp -c "set cmd:fail-exit yes; set net:max-retries 1; open $u; $3" >/dev/null
    t1=$(now)
    diff -r -q "$4" "$5" >/dev/null || fail "$2 $1 differs"
    add "$1" "$2" "$(rate "$small_files" "$t0" "$t1")"
    rm -rf "$4"
}

small_round() { # side round
    local dest="$out_root/small.$1.$2" up="up/small.$1.$2"
    timed_mirror mirror_down "$1" "mirror --no-perms small $dest" "$dest" "$work/small_src"
    timed_mirror mirror_up "$1" "mirror -R --no-perms $work/small_src $up" "$pub/$up" "$work/small_src"
}

peak_rss=0
parallel_round() { # side round
    local u t0 t1 i failed=0 pids=()
    u=$(side_url "$1")
    [ "$1" = ours ] && echo 5 > "/proc/$vexa_pid/clear_refs"
    t0=$(now)
    for i in $(seq "$parallel"); do
        curl -sS -o "$out_root/p.$1.$i" "$u/mid.bin" &
        pids+=($!)
    done
    for i in "${pids[@]}"; do wait "$i" || failed=$((failed + 1)); done
    t1=$(now)
    for i in $(seq "$parallel"); do
        cmp -s "$out_root/p.$1.$i" "$pub/mid.bin" || failed=$((failed + 1))
    done
    rm -f "$out_root"/p.*
    [ "$failed" = 0 ] || fail "$1: $failed of $parallel parallel downloads failed or differ"
    if [ "$1" = ours ]; then
        local hwm
        hwm=$(awk '/VmHWM/ {print $2}' "/proc/$vexa_pid/status")
        [ "$hwm" -gt "$peak_rss" ] && peak_rss=$hwm
    fi
    add parallel "$1" "$(rate $((parallel * parallel_mib * 1048576 / 1000000)) "$t0" "$t1")"
}

for r in $(seq "$rounds"); do
    echo "round $r  $(uptime | sed 's/.*load/load/')"
    # The side that goes first swaps every round (A B, B A, ...): on this
    # kind of virtual machine freed memory goes back to the host after a
    # moment and is slow to touch again, so whichever side writes first
    # after the other's files were deleted would otherwise always pay for it.
    order="ours vsftpd"
    [ $((r % 2)) = 0 ] && order="vsftpd ours"
    for shape in ${shapes//,/ }; do
        for side in $order; do
            "${shape}_round" "$side" "$r"
        done
    done
    for key in down up mirror_down mirror_up parallel; do
        [ -n "${figures[$key.ours]:-}" ] || continue
        printf '  %-12s ours %s | vsftpd %s\n' "$key" "${figures[$key.ours]##* }" "${figures[$key.vsftpd]##* }"
    done
done

echo
printf '%-34s %-26s %-26s %7s  %s\n' "shape (rate: MB/s or files/s)" "ours median [min..max]" \
    "vsftpd median [min..max]" "ratio" "target"
summary() { # key label target
    [ -n "${figures[$1.ours]:-}" ] || return 0
    /usr/bin/python3 - "$2" "$3" "${figures[$1.ours]}" "${figures[$1.vsftpd]}" <<'PY'
import statistics, sys
label, target, ours, theirs = sys.argv[1], float(sys.argv[2]), sys.argv[3].split(), sys.argv[4].split()
o = [float(x) for x in ours]; v = [float(x) for x in theirs]
mo, mv = statistics.median(o), statistics.median(v)
ratio = mo / mv
side = lambda m, xs: "%8.1f [%.1f..%.1f]" % (m, min(xs), max(xs))
print("%-34s %-26s %-26s %6.2fx  >= %.1fx %s" % (label, side(mo, o), side(mv, v), ratio, target,
      "met" if ratio >= target else "NOT MET"))
PY
}
summary down "download ${big_mib} MiB, curl" 1.2
summary up "upload ${big_mib} MiB, curl" 1.4
summary mirror_down "$small_files x 4 KiB, lftp mirror" 1.0
summary mirror_up "$small_files x 4 KiB, lftp mirror -R" 1.0
summary parallel "$parallel x ${parallel_mib} MiB parallel, curl" 1.0
for side in ours vsftpd; do
    [ -n "${cpu_notes[$side]:-}" ] &&
        echo "download CPU, $side: curl busy share of the wall time and other CPU per round:${cpu_notes[$side]}"
done
[ "$peak_rss" -gt 0 ] && echo "peak RSS of our server during the parallel downloads: $peak_rss kB"
echo "load at the end: $(uptime | sed 's/.*load/load/')"
