#!/usr/bin/env bash
# fetch_debian_source.sh [--log FILE] PACKAGE FOLDER
# Unpacks the source of the Debian package PACKAGE (as Debian patched it) into FOLDER with
# apt-get source, unless a source of it is already unpacked there. When the machine's apt knows
# no source entries, this one apt-get is given deb-src entries that mirror the machine's own
# Debian "deb" entries (the same mirrors, this release's suites only) and package lists of its
# own, in a folder inside FOLDER that is removed afterwards: nothing in /etc/apt or /var/lib/apt
# changes, and no root is needed. apt's output goes to FILE (default: discarded).
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

apt_options=()
if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Package: $package\$"; then
    state="$(mktemp -d "$folder/apt-source.XXXXXX")"
    trap 'rm -rf "$state"' EXIT
    mkdir -p "$state/sources.list.d" "$state/lists/partial" "$state/cache/archives/partial"
    codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    # One-line entries: deb [options] URI SUITE COMPONENT...
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
        awk -v c="$codename" '$1 == "deb" {
            i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
            suite = $(i + 1)
            if (suite == c || index(suite, c "-") == 1) { sub(/^deb /, "deb-src "); print } }' \
            >"$state/sources.list"
    # deb822 stanzas, copied whole (Signed-By must match) with Types set to deb-src.
    { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
        awk -v c="$codename" '
            function flush(   i, n, s, keep) {
                if (types ~ /(^| )deb( |$)/)
                    for (n = split(suites, s, " "); n > 0; n--)
                        if (s[n] == c || index(s[n], c "-") == 1) keep = 1
                if (keep) {
                    print (count++ ? "\n" : "") "Types: deb-src"
                    for (i = 1; i <= lines; i++) print line[i]
                }
                types = suites = ""; lines = 0
            }
            /^[ \t]*$/ { flush(); next }
            /^#/ { next }
            /^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types); next }
            /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites) }
            { line[++lines] = $0 }
            END { flush() }' >"$state/sources.list.d/deb-src.sources"
    # The downloads run as this user: apt's own user may not enter a folder made by mktemp.
    apt_options=(
        -o Dir::Etc::SourceList="$state/sources.list"
        -o Dir::Etc::SourceParts="$state/sources.list.d"
        -o Dir::State::Lists="$state/lists"
        -o Dir::Cache="$state/cache"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
        -o APT::Sandbox::User="$(id -un)"
    )
    echo "  reading Debian's source package lists (for this fetch only)"
    if ! apt-get "${apt_options[@]}" update -qq >>"$log" 2>&1; then
        echo "apt-get update failed for the deb-src entries (log: $log)" >&2
        exit 1
    fi
fi

echo "  fetching Debian's $package source"
if ! (cd "$folder" && apt-get "${apt_options[@]}" source -qq "$package" >>"$log" 2>&1); then
    echo "apt-get source $package failed (log: $log)" >&2
    exit 1
fi
