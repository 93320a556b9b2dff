#!/bin/bash
# The window's client next to vexa2-ftp: the same file downloaded from the
# same vexa2 --headless server on loopback, plain and enciphered (an
# encrypted site: login type 3 with the account's key text). Prints the
# median of ROUNDS for each side and the ratio window / vexa2-ftp (target: at
# most 1.2), with the processor seconds of the client and of the server per
# download, which show where the time goes. vexa2-ftp is timed from its start to its exit; the window from Quick
# Connect until the queue is empty (connect, login, first listing and the
# download), so only vexa2-ftp counts a program start (shown apart as the
# time of "vexa2-ftp --help").
#
# With OWN=1 the window downloads from its own server as well (server and
# client then share the window's one thread), shown for comparison.
#
#   bench/window_vs_ftp.sh BUILD_DIR [SIZE_MIB] [ROUNDS]
#
# BUILD_DIR is a Release build with the tests and benchmarks (bin/vexa2,
# bin/vexa2-admin, bin/vexa2-ftp, bench/window_download).
set -euo pipefail
. "$(dirname "$0")/ports.sh"

build=${1:?usage: $0 BUILD_DIR [SIZE_MIB] [ROUNDS]}
size_mib=${2:-200}
rounds=${3:-5}
vexa="$build/bin/vexa2"
admin="$build/bin/vexa2-admin"
ftp="$build/bin/vexa2-ftp"
window="$build/bench/window_download"
for program in "$vexa" "$admin" "$ftp" "$window"; do
    [ -x "$program" ] || { echo "no $program" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vexa-window-bench.XXXXXX)
vexa_pid=
cleanup() {
    [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run"
export XDG_DATA_HOME="$work/xdg" XDG_CONFIG_HOME="$work/xdg"
mkdir -p "$work/run" "$work/xdg" && chmod 700 "$work/run"

key="bench key text for the enciphered runs / 0123456789 abcdef"
pub="$work/pub"
mkdir -p "$pub" "$work/out"
dd if=/dev/urandom of="$pub/big.bin" bs=1M count="$size_mib" status=none

data="$work/data"
mkdir -p "$data"
port=$(free_port)
printf '[Server Options]\r\nServerPort=%s\r\nMaximumConcurrentUsers=0\r\n' "$port" > "$data/vexa2.ini"
a() { "$admin" --data-dir "$data" "$@" >/dev/null; }
a user add bench
a user set bench password pw
a user set bench home "$pub/"
a user set bench enabled on
a user set bench key "$key"
a user access bench add "$pub/" read,list,inherit
"$vexa" --headless --data-dir "$data" >/dev/null 2>&1 &
vexa_pid=$!
wait_port "$port"

now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc -l; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
# Processor seconds the server process has spent so far.
server_cpu() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$vexa_pid/stat"; }
# The window's run; its messages only when it fails.
window() { "$window" "$@" 2>"$work/window.err" || { cat "$work/window.err" >&2; return 1; }; }
connect_to_done() { echo "$1" | sed -n 's/.*connect to done \([0-9.]*\) s.*/\1/p'; }
check() { cmp -s "$pub/big.bin" "$1" || { echo "FAILED: $1 differs" >&2; exit 1; }; }

report() { # label ftp-seconds... -- window-seconds...
    local label=$1; shift
    local f=() w=() side=f
    for x in "$@"; do
        if [ "$x" = -- ]; then side=w; continue; fi
        if [ $side = f ]; then f+=("$x"); else w+=("$x"); fi
    done
    local bf bw
    bf=$(median "${f[@]}")
    bw=$(median "${w[@]}")
    printf '%-22s vexa2-ftp %7.3f s  window %7.3f s  ratio %5.2f (target <= 1.20)\n' \
        "$label" "$bf" "$bw" "$(echo "$bw / $bf" | bc -l)"
}

t0=$(now)
"$ftp" --help >/dev/null
printf 'vexa2-ftp --help (its program start): %.3f s\n' "$(since "$t0")"

for mode in plain enciphered; do
    ftp_args=(--no-rsa)
    window_key=()
    if [ $mode = enciphered ]; then
        ftp_args=(--no-rsa --key "$key" --mandatory)
        window_key=("$key")
    fi
    fs=() ws=() os=()
    for round in $(seq "$rounds"); do
        rm -f "$work/out/"*
        t0=$(now)
        s0=$(server_cpu)
        fcpu=$(/usr/bin/time -f '%U %S' "$ftp" "${ftp_args[@]}" \
            "ftp://bench:pw@127.0.0.1:$port/" get big.bin "$work/out/ftp.bin" 2>&1 |
            awk 'END {print $1 + $2}')
        fs+=("$(since "$t0")")
        fserver=$(echo "$(server_cpu) - $s0" | bc -l)
        check "$work/out/ftp.bin"
        rm -f "$work/out/"*
        s0=$(server_cpu)
        line=$(window 127.0.0.1 "$port" bench pw big.bin "$work/out/" "${window_key[@]}")
        wserver=$(echo "$(server_cpu) - $s0" | bc -l)
        check "$work/out/big.bin"
        ws+=("$(connect_to_done "$line")")
        if [ "${OWN:-0}" = 1 ]; then
            rm -f "$work/out/"*
            own=$(window --own "$pub/" big.bin "$work/out/" "${window_key[@]}")
            check "$work/out/big.bin"
            os+=("$(connect_to_done "$own")")
        fi
        printf '%s round %d: vexa2-ftp %.3f s (cpu %.2f s, server cpu %.2f s); window %.3f s (%s; server cpu %.2f s)\n' \
            "$mode" "$round" "${fs[-1]}" "$fcpu" "$fserver" "${ws[-1]}" "$line" "$wserver"
        if [ -n "${own:-}" ]; then echo "    window from its own server: $own"; fi
    done
    report "$mode ${size_mib} MiB" "${fs[@]}" -- "${ws[@]}"
    if [ "${OWN:-0}" = 1 ]; then
        report "$mode, own server" "${fs[@]}" -- "${os[@]}"
    fi
done
