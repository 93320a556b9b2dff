# Loopback port helpers shared by the benchmark scripts (sourced).

# A port nobody listens on at the moment of asking.
free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Waits up to 10 s until something accepts on the port; fails otherwise
# (under set -e that ends the calling script).
wait_port() {
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "nothing listens on port $1" >&2
    return 1
}
