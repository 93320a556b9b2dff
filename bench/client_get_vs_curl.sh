#!/bin/bash
# Throughput of "vexa2-ftp get" next to curl, fetching the same file from
# the same vsftpd on loopback in the same run. Prints both rates and the
# ratio (vexa2-ftp / curl; the target is at least 0.7).
#
#   bench/client_get_vs_curl.sh BUILD_DIR [SIZE_MIB] [ROUNDS]
#
# BUILD_DIR is a Release build holding bin/vexa2-ftp. Needs vsftpd and curl
# (Debian packages) and root, as vsftpd does.
set -euo pipefail
. "$(dirname "$0")/ports.sh"

build=${1:?usage: $0 BUILD_DIR [SIZE_MIB] [ROUNDS]}
size_mib=${2:-1024}
rounds=${3:-3}
client="$build/bin/vexa2-ftp"
[ -x "$client" ] || { echo "no $client" >&2; exit 1; }

work=$(mktemp -d /tmp/vexa-client-bench.XXXXXX)
vsftpd_pid=
cleanup() {
    [ -n "$vsftpd_pid" ] && kill "$vsftpd_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT


# Anonymous, read-only: the served folder belongs to root and is not
# writable, as vsftpd requires of a chroot.
mkdir -p "$work/anon" "$work/out"
chmod 755 "$work" "$work/anon"
dd if=/dev/urandom of="$work/anon/big.bin" bs=1M count="$size_mib" status=none
chmod 644 "$work/anon/big.bin"
port=$(free_port)
pasv=$(free_port)
cat > "$work/vsftpd.conf" <<CONF
listen=YES
background=NO
listen_address=127.0.0.1
listen_port=$port
seccomp_sandbox=NO
anonymous_enable=YES
local_enable=NO
anon_root=$work/anon
no_anon_password=YES
pasv_enable=YES
pasv_min_port=$pasv
pasv_max_port=$pasv
xferlog_enable=NO
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" &
vsftpd_pid=$!
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

seconds() { date +%s.%N; }
best_curl=
best_vexa=
for round in $(seq "$rounds"); do
    rm -f "$work/out/"*
    t0=$(seconds)
    curl -s -o "$work/out/curl.bin" "ftp://anonymous:x@127.0.0.1:$port/big.bin"
    t1=$(seconds)
    "$client" "ftp://anonymous:x@127.0.0.1:$port/" get big.bin "$work/out/vexa.bin" 2>/dev/null
    t2=$(seconds)
    cmp -s "$work/anon/big.bin" "$work/out/vexa.bin" || { echo "vexa2-ftp download differs" >&2; exit 1; }
    c=$(echo "$t1 - $t0" | bc -l)
    v=$(echo "$t2 - $t1" | bc -l)
    echo "round $round: curl ${c}s, vexa2-ftp ${v}s"
    if [ -z "$best_curl" ] || [ "$(echo "$c < $best_curl" | bc -l)" = 1 ]; then best_curl=$c; fi
    if [ -z "$best_vexa" ] || [ "$(echo "$v < $best_vexa" | bc -l)" = 1 ]; then best_vexa=$v; fi
done
curl_rate=$(echo "$size_mib / $best_curl" | bc -l)
vexa_rate=$(echo "$size_mib / $best_vexa" | bc -l)
printf 'file %d MiB, best of %d\n' "$size_mib" "$rounds"
printf 'curl       %8.1f MiB/s\n' "$curl_rate"
printf 'vexa2-ftp  %8.1f MiB/s\n' "$vexa_rate"
printf 'ratio      %8.2f (target >= 0.70)\n' "$(echo "$vexa_rate / $curl_rate" | bc -l)"
