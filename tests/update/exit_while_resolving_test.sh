#!/usr/bin/env bash
# exit_while_resolving_test.sh PROBE
# Closing the window ends the program within a second, even while the download waits for a
# name lookup that never answers. The lookup is made to hang for real: in a mount namespace of
# the probe's own, /etc/resolv.conf names a resolver on 127.0.0.77 that takes every query and
# answers none (with a 30-second timeout). Needs root (port 53, the mount) and python3; exits
# 77, which ctest counts as skipped, without them.
set -euo pipefail
probe=$1

skip() {
    echo "skipped: $1" >&2
    exit 77
}
[[ $(id -u) == 0 ]] || skip "needs root, for port 53 and a private /etc/resolv.conf"
command -v python3 >/dev/null || skip "needs python3 for the silent resolver"
unshare -m --propagation private true 2>/dev/null || skip "no mount namespace here (unshare -m)"

work=$(mktemp -d)
sink_pid=
cleanup() {
    [[ -z $sink_pid ]] || kill "$sink_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The silent resolver: reads every query, answers none.
python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.77", 53))
print("ready", flush=True)
while True:
    s.recv(4096)
' >"$work/sink.out" 2>&1 &
sink_pid=$!
for _ in $(seq 100); do
    grep -q ready "$work/sink.out" 2>/dev/null && break
    sleep 0.05
done
grep -q ready "$work/sink.out" || skip "no silent resolver on 127.0.0.77:53: $(cat "$work/sink.out")"

printf 'nameserver 127.0.0.77\noptions timeout:30 attempts:1\n' >"$work/resolv.conf"
mkdir "$work/program"
printf 'versi: 1\r\nQV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2099-12-31#baru\r\n' \
    >"$work/program/log.txt"

# The probe closes its window after 1.5 s of a download that cannot have ended by then.
coproc PROBE {
    exec env QT_QPA_PLATFORM=offscreen unshare -m --propagation private \
        sh -c 'mount --bind "$0" /etc/resolv.conf && exec "$@"' "$work/resolv.conf" \
        "$probe" "$work/program" 1500 2>"$work/probe.err"
}
probe_pid=$PROBE_PID
closing=false
while read -r -t 20 line <&"${PROBE[0]}"; do
    echo "probe: $line"
    if [[ $line == ended:* ]]; then
        echo "FAIL: the download ended by itself; the name lookup did not hang" >&2
        exit 1
    fi
    if [[ $line == closing ]]; then
        closing=true
        break
    fi
done
$closing || {
    echo "FAIL: the probe never closed its window" >&2
    cat "$work/probe.err" >&2
    exit 1
}
closed_at=$(date +%s%N)
# At most 10 s, so that a hang fails here instead of holding ctest.
for _ in $(seq 1000); do
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.01
done
if kill -0 "$probe_pid" 2>/dev/null; then
    kill "$probe_pid"
    echo "FAIL: the program was still running 10 s after its window closed" >&2
    exit 1
fi
elapsed_ms=$((($(date +%s%N) - closed_at) / 1000000))
echo "the program ended ${elapsed_ms} ms after its window closed"
if ((elapsed_ms > 1000)); then
    echo "FAIL: more than a second" >&2
    exit 1
fi
