#!/usr/bin/env bash
# fetch_debian_source.sh [--log FILE] PACKAGE FOLDER
# Unpacks the source of the Debian package PACKAGE (as Debian patched it) into FOLDER with
# apt-get source, unless a source of it is already unpacked there. When apt knows no source
# entries, deb-src entries are added that mirror the machine's own Debian "deb" entries (the same
# mirrors, this release's suites only). apt's output goes to FILE (default: discarded).
set -euo pipefail

log=/dev/null
if [[ ${1:-} == --log ]]; then
    log=$2
    shift 2
fi
package=$1
folder=$2
mkdir -p "$folder"
if compgen -G "$folder/$package-*/debian/control" >/dev/null; then
    exit 0
fi

sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo)

if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Package: $package\$"; then
    codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    work_list="$(mktemp --suffix=.list)"
    work_sources="$(mktemp --suffix=.sources)"
    header="# Added by Kalvera's scripts/fetch_debian_source.sh, for apt-get source."
    # One-line entries: deb [options] URI SUITE COMPONENT...
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
        awk -v c="$codename" -v header="$header" '$1 == "deb" {
            i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
            suite = $(i + 1)
            if (suite == c || index(suite, c "-") == 1) {
                if (!n++) print header
                sub(/^deb /, "deb-src "); print } }' >"$work_list"
    # deb822 stanzas, copied whole (Signed-By must match) with Types set to deb-src.
    { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
        awk -v c="$codename" -v header="$header" '
            function flush(   i, n, s, keep) {
                if (types ~ /(^| )deb( |$)/)
                    for (n = split(suites, s, " "); n > 0; n--)
                        if (s[n] == c || index(s[n], c "-") == 1) keep = 1
                if (keep) {
                    print (count++ ? "\n" : header "\n") "Types: deb-src"
                    for (i = 1; i <= lines; i++) print line[i]
                }
                types = suites = ""; lines = 0
            }
            /^[ \t]*$/ { flush(); next }
            /^#/ { next }
            /^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types); next }
            /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites) }
            { line[++lines] = $0 }
            END { flush() }' >"$work_sources"
    for file in "$work_list" "$work_sources"; do
        if [[ -s $file ]]; then
            "${sudo[@]}" install -m 644 "$file" "/etc/apt/sources.list.d/kalvera-deb-src.${file##*.}"
        fi
    done
    rm -f "$work_list" "$work_sources"
    echo "  added deb-src entries in /etc/apt/sources.list.d/kalvera-deb-src.*"
    if ! "${sudo[@]}" apt-get update -qq >>"$log" 2>&1; then
        echo "apt-get update failed with the added deb-src entries (log: $log)" >&2
        exit 1
    fi
fi

echo "  fetching Debian's $package source"
if ! (cd "$folder" && apt-get source -qq "$package" >>"$log" 2>&1); then
    echo "apt-get source $package failed (log: $log)" >&2
    exit 1
fi
