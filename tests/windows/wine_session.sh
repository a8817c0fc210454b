#!/usr/bin/env bash
# wine_session.sh start|stop BUILD_FOLDER
# Starts (or stops) Wine for the Windows tests of a cross-build: the build folder's own Wine
# prefix (BUILD_FOLDER/wine), set up on first use, and its wineserver, started ahead and kept
# for the whole test run. Without that, every test would start a server and Wine's services,
# and ctest would wait on the pipes they inherit (seconds per test, or a hang). "stop" ends the
# server of this prefix only.
set -euo pipefail
action=$1
build="$(cd "$2" && pwd)"

export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine="$(command -v wine64 || command -v wine)"

case $action in
    start)
        mkdir -p "$WINEPREFIX"
        # -p: the server stays up while the tests come and go (20 minutes at most after the
        # last one left); cmd /c ver brings the prefix and Wine's services up once, here.
        # wineserver -p fails when the prefix's server already runs, which is fine.
        (wineserver -p 1200 || true; "$wine" cmd /c ver) </dev/null >/dev/null 2>&1
        ;;
    stop)
        if [[ -d $WINEPREFIX ]]; then
            wineserver -k </dev/null >/dev/null 2>&1 || true
        fi
        ;;
    *)
        echo "usage: $0 start|stop BUILD_FOLDER" >&2
        exit 64
        ;;
esac
