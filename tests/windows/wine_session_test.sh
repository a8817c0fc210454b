#!/usr/bin/env bash
# wine_session_test.sh WINE_SESSION FOLDER
# A Wine session started with no DISPLAY, right after a server of its prefix was left up by a
# start without a display (whose desktop has no graphics driver), creates windows: Wine's own
# notepad shows its window on the session's X server. Afterwards nothing of the session is left
# outside FOLDER: no server, no server folder, nothing in the home folder. Uses a prefix of its
# own in FOLDER, set up on the first run and left to its server's end before the leftover is
# started: the leftover is a server on a prefix that is whole, not one ended while Wine was still
# setting the prefix up.
set -u
source "$(dirname "$0")/../support/checks.sh"
session=$1
folder=$(mkdir -p "$2" && cd "$2" && pwd)
unset DISPLAY
export WINEPREFIX=$folder/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    HOME=$folder/wine-home
mkdir -p "$HOME"
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1)
wineserver=$(command -v /usr/lib/wine/wineserver64 wineserver | head -n 1)
# Should the session not end the leftover, it is ended here.
cleanup() {
    [[ -e $WINEPREFIX/wineserver ]] || return 0
    "$wineserver" -k </dev/null >/dev/null 2>&1
    rm -rf "${TMPDIR:-/tmp}/$(cat "$WINEPREFIX/wineserver")" "$WINEPREFIX/wineserver"
}

if [[ ! -e $WINEPREFIX/system.reg ]]; then
    "$wine" cmd /c ver </dev/null >/dev/null 2>&1
    setup=$?
    timeout 120 "$wineserver" -w </dev/null >/dev/null 2>&1
    if [[ $setup != 0 || ! -e $WINEPREFIX/system.reg ]]; then
        fail prefix_isSetUp "Wine exited with $setup; free on the prefix's disk:" \
            "$(df -h --output=avail "$folder" | tail -n 1)"
        finish
        exit 1
    fi
fi
# The leftover: a server kept up, and its desktop, started with no display.
("$wineserver" -p 600; "$wine" cmd /c ver) </dev/null >/dev/null 2>&1
server_folder=${TMPDIR:-/tmp}/$(cat "$WINEPREFIX/wineserver")

home=$folder/caller-home
rm -rf "$home"
mkdir -p "$home"
# shellcheck disable=SC2016  # expanded by the session's shell
HOME=$home "$session" run "$folder" bash -c '
    "$1" notepad </dev/null >/dev/null 2>&1 &
    timeout 60 xdotool search --sync --name "Notepad\$" >/dev/null' _ "$wine"
status=$?
[[ $status == 0 ]] && pass ||
    fail withoutDisplay_afterLeftoverServer_createsWindows "no notepad window (exit $status)"
left=$(
    [[ -e $server_folder ]] && echo "$server_folder"
    [[ -e $WINEPREFIX/wineserver ]] && echo "$WINEPREFIX/wineserver"
    find "$home" -mindepth 1 -maxdepth 2
)
[[ -z $left ]] && pass || fail end_leavesNothingOutsideFolder "$left"
finish
