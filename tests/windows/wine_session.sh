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
wineserver=/usr/lib/wine/wineserver64
[[ -x $wineserver ]] || wineserver="$(command -v wineserver)"

case $action in
    start)
        mkdir -p "$WINEPREFIX"
        # -p: the server stays up while the tests come and go (20 minutes at most after the
        # last one left); cmd /c ver brings the prefix and Wine's services up once, here.
        # wineserver -p fails when the prefix's server already runs, which is fine.
        ("$wineserver" -p 1200 || true; "$wine" cmd /c ver) </dev/null >/dev/null 2>&1

        # TEMP and TMP of the prefix name a folder with accented, Cyrillic and Japanese letters,
        # so every test's temporary folders (the window tests' program folders, downloads and
        # their temporary files) have such a name. Wine sets both from the registry, whatever
        # the environment says; a .reg file in UTF-16 carries the name intact.
        temp_name='Temp Dédé Пример 日本'
        mkdir -p "$WINEPREFIX/drive_c/$temp_name"
        reg=$(mktemp --suffix=.reg)
        printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n"TEMP"="C:\\\\%s"\r\n"TMP"="C:\\\\%s"\r\n' \
            "$temp_name" "$temp_name" | iconv -f UTF-8 -t UTF-16 >"$reg"
        "$wine" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
        rm -f "$reg"
        ;;
    stop)
        if [[ -d $WINEPREFIX ]]; then
            "$wineserver" -k </dev/null >/dev/null 2>&1 || true
        fi
        ;;
    *)
        echo "usage: $0 start|stop BUILD_FOLDER" >&2
        exit 64
        ;;
esac
