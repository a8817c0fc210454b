#!/usr/bin/env bash
# window_smoke_test.sh PROGRAM_FOLDER SAMPLE_CALLBOOK SCREENSHOT_FOLDER
# Kalvera.exe, run under Wine on the Wine session's X server from a copy of
# PROGRAM_FOLDER (Kalvera.exe with its DLLs and plugins) in a folder whose name holds accented
# and Cyrillic letters, with the sample callbook beside it:
# - its window appears with the caption "Callbook KORA Wirasena (Versi Offline 1.0)";
# - the callbook beside the executable is read: a suffix typed into the search box and Enter
#   show the member (the name box's text is copied out through the clipboard and compared);
# - screenshots of the window before and after the lookup go to SCREENSHOT_FOLDER.
# Needs $KALVERA_WINE, xdotool, xclip and ImageMagick, and runs inside a Wine session
# (scripts/wine_session.sh run), whose desktop was started on the X server the window is to
# appear on.
set -u
source "$(dirname "$0")/../support/checks.sh"
source_folder=$(realpath "$1")
sample=$(realpath "$2")
shots=$(mkdir -p "$3" && realpath "$3")
[[ -n ${DISPLAY:-} ]] || { fail noDisplay "run this inside scripts/wine_session.sh run" && exit 1; }
cleanup() {
    [[ -n ${wine_pid:-} ]] && kill "$wine_pid" 2>/dev/null
    wait 2>/dev/null
}

folder="$work/Dédé Пример/Kalvera"
mkdir -p "$folder"
cp "$source_folder/Kalvera.exe" "$source_folder"/*.dll "$folder/"
for plugins in platforms imageformats styles; do
    mkdir -p "$folder/$plugins"
    cp "$source_folder/$plugins"/*.dll "$folder/$plugins/"
done
rm -f "$folder/platforms/qoffscreen.dll"
cp "$sample" "$folder/log.txt"

# Started from another folder: the callbook must be found beside the executable, not in the
# working folder. The window platform is Windows' own, not the tests' offscreen one.
(cd "$work" && exec env -u WINEQT_QPA_PLATFORM "$KALVERA_WINE" "$folder/Kalvera.exe") \
    >"$shots/kalvera-wine.log" 2>&1 &
wine_pid=$!
window=$(timeout 60 xdotool search --sync --name \
    '^Callbook KORA Wirasena \(Versi Offline 1\.0\)$' 2>/dev/null | head -n 1)
if [[ -z $window ]]; then
    import -window root "$shots/kalvera-wine-nowindow.png"
    fail window_appearsWithCaption "no window within 60 s"
    finish
    exit
fi
pass
sleep 2 # first paint
import -window "$window" "$shots/kalvera-wine-start.png"

# The search box has the focus at start and holds the sample suffix; typing replaces it.
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.5
xdotool key --window "$window" ctrl+a
xdotool type --window "$window" --delay 100 abc
xdotool key --window "$window" Return
sleep 2
import -window "$window" "$shots/kalvera-wine-lookup.png"

# From the search box, Shift+Tab three times reaches the name box (the Tab order runs from the
# search box through the detail boxes from the bottom up to the button). Its text goes to the
# clipboard, which Wine shares with X.
printf '' | xclip -selection clipboard
xdotool key --window "$window" shift+Tab shift+Tab shift+Tab ctrl+a ctrl+c
sleep 1
name=$(xclip -o -selection clipboard 2>/dev/null)
[[ $name == "Budi Santoso" ]] && pass || fail lookup_typedSuffix_showsMember "name box: \"$name\""
finish
