#!/usr/bin/env bash
# program_folder.sh read-only|full-disk COMMAND [ARG...]
# Runs COMMAND with a program folder that holds a callbook and cannot take a new one:
#   read-only  KALVERA_READ_ONLY_FOLDER names a folder that cannot be written, as Program Files
#              or a read-only share cannot: a read-only bind mount when run as root (root may
#              write anywhere else), plain permissions otherwise;
#   full-disk  KALVERA_FULL_DISK_FOLDER names a folder on a disk with no room left: a small
#              tmpfs filled up, as root only.
# Exits 77, which ctest counts as skipped, when the folder cannot be made on this machine.
set -euo pipefail

mode=$1
shift
folder=$(mktemp -d)
export KALVERA_CALLBOOK_SEED=$(mktemp)
cleanup() {
    chmod -R u+w "$folder" 2>/dev/null || true
    rm -rf "$folder" "$KALVERA_CALLBOOK_SEED"
}
trap cleanup EXIT
printf 'versi: 2020-01-01 08:00\r\nQV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n' \
    >"$KALVERA_CALLBOOK_SEED"
skip() {
    echo "skipped: $1" >&2
    exit 77
}

case $mode in
    read-only)
        cp "$KALVERA_CALLBOOK_SEED" "$folder/log.txt"
        export KALVERA_READ_ONLY_FOLDER=$folder
        if [[ $(id -u) != 0 ]]; then
            chmod 444 "$folder/log.txt"
            chmod 555 "$folder"
            "$@"
            exit
        fi
        # The mount lives in a mount namespace of the command's own and goes with it.
        prepare='mount --bind "$0" "$0" && mount -o remount,bind,ro "$0"'
        ;;
    full-disk)
        [[ $(id -u) == 0 ]] || skip "only root can mount a small tmpfs"
        export KALVERA_FULL_DISK_FOLDER=$folder
        # The callbook first, then a filler up to the last byte; new files still get an inode.
        prepare='mount -t tmpfs -o size=256k tmpfs "$0" && cp "$KALVERA_CALLBOOK_SEED" "$0/log.txt" &&
            { dd if=/dev/zero of="$0/isi.bin" bs=4096 2>/dev/null || true; }'
        ;;
    *)
        echo "usage: program_folder.sh read-only|full-disk COMMAND [ARG...]" >&2
        exit 64
        ;;
esac
if ! unshare -m --propagation private sh -c "$prepare" "$folder" 2>/dev/null; then
    skip "no $mode folder here (unshare -m, mount)"
fi
unshare -m --propagation private sh -c "$prepare"' && exec "$@"' "$folder" "$@"
