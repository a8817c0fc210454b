#!/usr/bin/env bash
# ensure_packages.sh [--log FILE] PACKAGE...
# Installs with apt-get those of the named Debian packages that this machine lacks, quietly:
# apt's output goes to FILE (default: discarded), and one line says what is being installed.
# Does nothing, and needs no network, when all are there.
#
# ensure_packages.sh --list-missing PACKAGE...
# Only prints those that are missing, one per line.
set -euo pipefail

log=/dev/null
list_only=false
if [[ ${1:-} == --log ]]; then
    log=$2
    shift 2
elif [[ ${1:-} == --list-missing ]]; then
    list_only=true
    shift
fi

missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if $list_only; then
    [[ ${#missing[@]} == 0 ]] || printf '%s\n' "${missing[@]}"
    exit 0
fi
[[ ${#missing[@]} == 0 ]] && exit 0

echo "  installing ${missing[*]}"
sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo[@]}" apt-get update -qq &&
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >>"$log" 2>&1; then
    [[ $log == /dev/null ]] || tail -n 20 "$log" >&2
    echo "apt-get could not install: ${missing[*]}" >&2
    exit 1
fi
