#!/usr/bin/env bash
# program_folder.sh read-only|full-disk|silent-resolver COMMAND [ARG...]
# Runs COMMAND where a download cannot do its work, in a mount namespace of its own:
#   read-only        KALVERA_READ_ONLY_FOLDER names a folder holding a callbook that cannot be
#                    written, as Program Files or a read-only share cannot: a read-only bind
#                    mount when run as root (root may write anywhere else), plain permissions
#                    otherwise;
#   full-disk        KALVERA_FULL_DISK_FOLDER names a folder holding a callbook on a disk with
#                    no room left: a small tmpfs filled up, as root only;
#   silent-resolver  KALVERA_SILENT_RESOLVER names a resolver on 127.x.y.z that takes each
#                    query and answers none, and every name lookup goes there, with a 30-second
#                    timeout: root (port 53, /etc/resolv.conf) and python3 only.
# Exits 77, which ctest counts as skipped, when this machine cannot do it.
set -euo pipefail

mode=$1
shift
folder=$(mktemp -d)
sink=
cleanup() {
    [[ -z $sink ]] || kill "$sink" 2>/dev/null || true
    chmod -R u+w "$folder" 2>/dev/null || true
    rm -rf "$folder" "$folder.log.txt"
}
trap cleanup EXIT
skip() {
    echo "skipped: $1" >&2
    exit 77
}
printf 'versi: 2020-01-01 08:00\r\nQV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n' \
    >"$folder.log.txt"

case $mode in
    read-only)
        cp "$folder.log.txt" "$folder/log.txt"
        export KALVERA_READ_ONLY_FOLDER=$folder
        if [[ $(id -u) != 0 ]]; then
            chmod 444 "$folder/log.txt"
            chmod 555 "$folder"
            "$@"
            exit
        fi
        prepare='mount --bind "$0" "$0" && mount -o remount,bind,ro "$0"'
        ;;
    full-disk)
        [[ $(id -u) == 0 ]] || skip "only root can mount a small tmpfs"
        export KALVERA_FULL_DISK_FOLDER=$folder
        # The callbook first, then a filler up to the last byte; new files still get an inode.
        prepare='mount -t tmpfs -o size=256k tmpfs "$0" && cp "$0.log.txt" "$0/log.txt" &&
            { dd if=/dev/zero of="$0/isi.bin" bs=4096 2>/dev/null || true; }'
        ;;
    silent-resolver)
        [[ $(id -u) == 0 ]] || skip "only root can listen on port 53 and hide /etc/resolv.conf"
        command -v python3 >/dev/null || skip "no python3 for the silent resolver"
        # An address of its own, so that runs side by side do not share one.
        export KALVERA_SILENT_RESOLVER=127.$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1)).2
        # A socket that is bound but never read: the queries wait in it, unanswered.
        exec 3< <(python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 53))
print("ready", flush=True)
time.sleep(600)' "$KALVERA_SILENT_RESOLVER" 2>&1)
        sink=$!
        read -r -t 5 ready <&3 && [[ $ready == ready ]] || skip "no resolver: $ready"
        printf 'nameserver %s\noptions timeout:30 attempts:1\n' "$KALVERA_SILENT_RESOLVER" \
            >"$folder/resolv.conf"
        prepare='mount --bind "$0/resolv.conf" /etc/resolv.conf'
        ;;
    *)
        echo "usage: program_folder.sh read-only|full-disk|silent-resolver COMMAND [ARG...]" >&2
        exit 64
        ;;
esac
unshare -m --propagation private sh -c "$prepare" "$folder" 2>/dev/null ||
    skip "no $mode here (unshare -m, mount)"
unshare -m --propagation private sh -c "$prepare"' && exec "$@"' "$folder" "$@"
