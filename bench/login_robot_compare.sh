#!/bin/bash
# Wrong-password answers per minute that one robot (bench/login_robot.py, 10
# connections) gets in the same run against: our server with its default
# settings, an older build of our server (before the failed-login delay and
# bans) with the same settings, and pure-ftpd with its defaults. Everything
# stays on the loopback address; our servers get ExemptLoopback=0 (the one
# setting changed from the defaults), so the robot is treated as one from the
# network would be.
#
#   bench/login_robot_compare.sh BUILD_DIR [OLDER_VEXA2] [SECONDS=60]
#
# OLDER_VEXA2: the vexa2 program of an older build (skipped when not given).
# pure-ftpd is taken from /opt/vexa2-test-peers/pure-ftpd (scripts/deps).
set -euo pipefail
. "$(dirname "$0")/ports.sh"

build=${1:?usage: $0 BUILD_DIR [OLDER_VEXA2] [SECONDS]}
older=${2:-}
seconds=${3:-60}
vexa="$build/bin/vexa2"
admin="$build/bin/vexa2-admin"
pure=/opt/vexa2-test-peers/pure-ftpd/usr
robot="$(dirname "$0")/login_robot.py"
address=127.0.0.1

work=$(mktemp -d /tmp/vexa-robot.XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

wait_on() {
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/$address/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "nothing listens on $address:$1" >&2
    return 1
}

# A data folder with one account "bench" (password "right") and the
# default settings, but for the port and loopback's exemption.
our_server() { # PROGRAM NAME
    local data="$work/$2" port
    mkdir -p "$data" "$work/served"
    port=$(free_port)
    printf '[Server Options]\r\nServerPort=%s\r\nExemptLoopback=0\r\n' "$port" > "$data/vexa2.ini"
    "$admin" --data-dir "$data" user add bench >/dev/null
    "$admin" --data-dir "$data" user set bench password right >/dev/null
    "$admin" --data-dir "$data" user set bench enabled on >/dev/null
    "$admin" --data-dir "$data" user set bench home "$work/served/" >/dev/null
    "$1" --headless --data-dir "$data" >"$work/$2.log" 2>&1 &
    pids+=($!)
    wait_on "$port"
    echo "$port"
}

run() { # NAME PORT
    printf '%-34s ' "$1:"
    "$robot" "$address" "$2" "$seconds" 10 "$address"
}

port=$(our_server "$vexa" ours)
run "ours, defaults" "$port"
grep -m1 'Banned address' "$work/ours.log" || true

if [ -n "$older" ]; then
    cp "$older" "$work/older-vexa2"
    port=$(our_server "$work/older-vexa2" older)
    run "ours before, same settings" "$port"
fi

if [ -x "$pure/sbin/pure-ftpd" ]; then
    id vexa2pure >/dev/null 2>&1 || useradd -M -d /tmp -s /usr/sbin/nologin vexa2pure
    mkdir -p "$work/pure-root"
    printf 'right\nright\n' | "$pure/bin/pure-pw" useradd bench -u vexa2pure -d "$work/pure-root" \
        -f "$work/pure.passwd" >/dev/null
    "$pure/bin/pure-pw" mkdb "$work/pure.pdb" -f "$work/pure.passwd"
    port=$(free_port)
    # Defaults, but for where it listens and its user database.
    "$pure/sbin/pure-ftpd" -S "$address,$port" -l "puredb:$work/pure.pdb" >/dev/null 2>&1 &
    pids+=($!)
    wait_on "$port"
    run "pure-ftpd, defaults" "$port"
fi
