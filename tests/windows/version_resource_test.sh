#!/usr/bin/env bash
# version_resource_test.sh WINDRES KALVERA_EXE VERSION_COMMAS VERSION_TEXT
# Kalvera.exe carries what Explorer shows: the icon (48, 32, 24 and 16 pixels at three colour
# depths each) and the version information of project(VERSION): file and product version
# VERSION_COMMAS (1,0,0,0) and VERSION_TEXT ("1.00"), product and internal name Kalvera.
set -u
source "$(dirname "$0")/../support/checks.sh"
rc=$("$1" -J coff -O rc -i "$2" 2>&1)
commas=${3//,/, }
for want in "FILEVERSION $commas" "PRODUCTVERSION $commas" "\"FileVersion\", \"$4\"" \
    "\"ProductVersion\", \"$4\"" '"ProductName", "Kalvera"' '"InternalName", "Kalvera"' \
    '"OriginalFilename", "Kalvera.exe"'; do
    grep -qF -- "$want" <<<"$rc" && pass || fail "versionInformation_holds $want"
done
icons=$(grep -c 'RT_ICON \*/' <<<"$rc")
[[ $icons == 12 ]] && grep -q 'RT_GROUP_ICON' <<<"$rc" && pass ||
    fail icon_hasTwelveImagesInOneGroup "$icons icon images"
finish
