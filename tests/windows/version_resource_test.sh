#!/usr/bin/env bash
# version_resource_test.sh WINDRES KALVERA_EXE VERSION_COMMAS VERSION_TEXT
# Kalvera.exe carries what Explorer shows: the icon (48, 32, 24 and 16 pixels at three colour
# depths each) and the version information of project(VERSION): file and product version
# VERSION_COMMAS (1,0,0,0) and VERSION_TEXT ("1.00"), product and internal name Kalvera.
set -u
windres=$1
exe=$2
commas=$3
text=$4
failures=0
passes=0

rc=$("$windres" -J coff -O rc -i "$exe" 2>&1)

check() { # NAME PATTERN (a fixed string the resource script must hold)
    if grep -qF -- "$2" <<<"$rc"; then
        passes=$((passes + 1))
    else
        echo "FAIL $1: no \"$2\" in the resources of $exe"
        failures=$((failures + 1))
    fi
}

check fileVersion "FILEVERSION ${commas//,/, }"
check productVersion "PRODUCTVERSION ${commas//,/, }"
check fileVersionText "VALUE \"FileVersion\", \"$text\""
check productVersionText "VALUE \"ProductVersion\", \"$text\""
check productName 'VALUE "ProductName", "Kalvera"'
check internalName 'VALUE "InternalName", "Kalvera"'
check originalFilename 'VALUE "OriginalFilename", "Kalvera.exe"'
icons=$(grep -c 'RT_ICON \*/' <<<"$rc")
if [[ $icons == 12 ]] && grep -q 'RT_GROUP_ICON' <<<"$rc"; then
    passes=$((passes + 1))
else
    echo "FAIL icon: $icons icon images (want 12, in one icon group)"
    failures=$((failures + 1))
fi

echo "$passes passed, $failures failed"
[[ $failures == 0 ]]
