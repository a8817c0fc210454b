#!/usr/bin/env bash
# read_only_folder.sh COMMAND [ARG...]
# Runs COMMAND with KALVERA_READ_ONLY_FOLDER naming a program folder that holds a callbook and
# cannot be written, as Program Files or a read-only share cannot: a read-only bind mount when
# run as root (root may write anywhere else), plain permissions otherwise. Exits 77, which
# ctest counts as skipped, when neither can be made on this machine.
set -euo pipefail

folder=$(mktemp -d)
cleanup() {
    chmod -R u+w "$folder" 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT
printf 'versi: 2020-01-01 08:00\r\nQV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n' \
    >"$folder/log.txt"
export KALVERA_READ_ONLY_FOLDER=$folder

if [[ $(id -u) != 0 ]]; then
    chmod 444 "$folder/log.txt"
    chmod 555 "$folder"
    "$@"
    exit
fi

# The mount lives in a mount namespace of the command's own and goes with it.
make_read_only='mount --bind "$0" "$0" && mount -o remount,bind,ro "$0"'
if ! unshare -m --propagation private sh -c "$make_read_only" "$folder" 2>/dev/null; then
    echo "skipped: no read-only bind mount here (unshare -m, mount --bind)" >&2
    exit 77
fi
unshare -m --propagation private sh -c "$make_read_only"' && exec "$@"' "$folder" "$@"
