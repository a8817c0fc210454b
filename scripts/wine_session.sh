#!/usr/bin/env bash
# wine_session.sh run BUILD_FOLDER COMMAND [ARG...]
# Runs COMMAND in the Wine session of a cross-build's Windows tests: the build folder's own Wine
# prefix (BUILD_FOLDER/wine, set up on first use), its wineserver started ahead and kept for the
# whole of COMMAND, an X server of the session's own (Xvfb), whatever DISPLAY says, and a home
# folder of its own, BUILD_FOLDER/wine-home. Without the server started ahead, every test would
# start a server and Wine's services, and ctest would wait on the pipes they inherit (seconds per
# test, or a hang). COMMAND gets DISPLAY, HOME, WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES; the
# exit status is COMMAND's.
#
# Wine's desktop process (explorer.exe), started with the first Wine process of a session, keeps
# the graphics driver it found then for as long as the server lives: started without a display,
# no window of that prefix can ever be created. Hence the X server comes first, and a server
# still up for this prefix (an interrupted run, a test that left one) is ended before anything.
#
# Afterwards the server and Xvfb are ended, and the folder that holds the server's socket is
# removed: Debian's Wine makes it with mkdtemp in $TMPDIR (/tmp/wine-XXXXXX), names it in the
# prefix's file "wineserver", and keeps both after the server ended (even `wineserver -k` with no
# server makes them).
set -euo pipefail
if (($# < 3)) || [[ $1 != run ]]; then
    echo "usage: $0 run BUILD_FOLDER COMMAND [ARG...]" >&2
    exit 64
fi
build="$(cd "$2" && pwd)"
shift 2

export WINEPREFIX="$build/wine" WINEDEBUG=-all
# No .NET, no browser engine: both would offer to download themselves.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Every session start runs the prefix's RunServices, among them winemenubuilder, which makes the
# desktop's menu and MIME folders in the home folder (~/.config/menus, ~/.local/share/...).
export HOME="$build/wine-home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine="$(command -v wine64 || command -v wine)"
wineserver=/usr/lib/wine/wineserver64
[[ -x $wineserver ]] || wineserver="$(command -v wineserver)"

end_server() {
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true # fails when none runs
    "$wineserver" -w </dev/null >/dev/null 2>&1 || true
    local name
    name=$(cat "$WINEPREFIX/wineserver" 2>/dev/null || true)
    if [[ $name =~ ^wine-[A-Za-z0-9]{6}$ ]]; then
        rm -rf "${TMPDIR:-/tmp}/$name"
    fi
    rm -f "$WINEPREFIX/wineserver"
}

xvfb_pid=
display_file=
command_pid=
end_session() {
    # Interrupted: COMMAND (ctest, which ends its tests) first, then whatever Wine still runs.
    if [[ -n $command_pid ]]; then
        kill "$command_pid" 2>/dev/null || true
    fi
    end_server
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "$display_file"
}
trap end_session EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$WINEPREFIX" "$HOME"
end_server

# Xvfb picks a free display itself and writes its number once it accepts clients.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null \
    >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 300); do
    [[ -s $display_file ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -s $display_file ]]; then
    echo "wine_session.sh: Xvfb did not start" >&2
    exit 1
fi
DISPLAY=":$(<"$display_file")"
export DISPLAY

# Wine's own output is noise while it works. When a step fails, it is named with its exit status
# (the Windows program's status cut to a byte) and the free space: a prefix that a full disk cut
# short fails only later, as a program that cannot load its libraries (exit 53).
set_up() { # WHAT COMMAND...
    local what=$1 status=0
    shift
    "$@" </dev/null >/dev/null 2>&1 || status=$?
    if ((status != 0)); then
        echo "wine_session.sh: $what failed (exit $status) in $WINEPREFIX;" \
            "free on its disk: $(df -h --output=avail "$WINEPREFIX" | tail -n 1)" >&2
        exit "$status"
    fi
}

# -p: the server stays up while the tests come and go; cmd /c ver brings the prefix, Wine's
# services and the desktop up once, here.
set_up "starting the server" "$wineserver" -p 1200
set_up "starting Wine (cmd /c ver)" "$wine" cmd /c ver

# TEMP and TMP of the prefix name a folder with accented, Cyrillic and Japanese letters, so every
# test's temporary folders (the window tests' program folders, downloads and their temporary
# files) have such a name. Wine sets both from the registry, whatever the environment says; a
# .reg file in UTF-16 carries the name intact.
temp_name='Temp Dédé Пример 日本'
mkdir -p "$WINEPREFIX/drive_c/$temp_name"
reg="$WINEPREFIX/drive_c/kalvera-temp.reg"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n"TEMP"="C:\\\\%s"\r\n"TMP"="C:\\\\%s"\r\n' \
    "$temp_name" "$temp_name" | iconv -f UTF-8 -t UTF-16 >"$reg"
set_up "setting TEMP and TMP" "$wine" regedit /S 'C:\kalvera-temp.reg'
rm -f "$reg"

# In the background, so that an interrupt (Ctrl+C) ends the session at once rather than when
# COMMAND is done; COMMAND itself then ignores the interrupt and is ended by end_session.
"$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
command_pid=
exit "$status"
