#!/usr/bin/env bash
# scripts/build_qt_windows.sh on folders it did and did not make: it deletes only a folder it
# made itself, refuses any other non-empty one, and uses an unpacked prebuilt Qt as it is.
# Nothing here builds Qt or downloads anything: apt-get, sudo and cmake are stubs that fail,
# and the prebuilt archive is a small fake with its own SHA256SUMS.
#
#   build_qt_windows_test.sh SCRIPT
set -u
source "$(dirname "$0")/../support/checks.sh"
script=$1
mkdir -p "$work/stubs"
for tool in apt-get apt-cache sudo cmake ninja dpkg-source install; do
    printf '#!/bin/sh\necho "stub %s: not in this test" >&2\nexit 99\n' "$tool" >"$work/stubs/$tool"
    chmod +x "$work/stubs/$tool"
done

# A prebuilt archive as the real one is laid out: one folder, qt6-windows/.
mkdir -p "$work/archive/qt6-windows/bin" "$work/archive/qt6-windows/lib/cmake/Qt6" "$work/prebuilt"
echo fake >"$work/archive/qt6-windows/bin/Qt6Core.dll"
echo 'set(PACKAGE_VERSION "6.4.2")' >"$work/archive/qt6-windows/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake"
tar -cJf "$work/prebuilt/qt6-base-6.4.2-mingw-w64.tar.xz" -C "$work/archive" qt6-windows
(cd "$work/prebuilt" && sha256sum qt6-base-6.4.2-mingw-w64.tar.xz >SHA256SUMS)

# run PREFIX PREBUILT [ARG...]: the script with KALVERA_QT_WINDOWS=PREFIX and the prebuilt
# archive at PREBUILT; leaves the exit code in $code and what it printed in $out.
run() {
    out=$(PATH="$work/stubs:$PATH" HOME="$work/home" KALVERA_QT_WINDOWS="$1" \
        KALVERA_QT_WINDOWS_PREBUILT="$2" KALVERA_QT_WINDOWS_WORK="$work/qt-work" \
        timeout 60 bash "$script" "${@:3}" 2>&1 </dev/null)
    code=$?
}

# A folder with someone's files in it is never deleted, whatever the script would put there.
mkdir -p "$work/mine"
echo "keep me" >"$work/mine/notes.txt"
for mode in "" --from-source; do
    run "$work/mine" "$work/prebuilt" $mode
    [[ $code != 0 && -f $work/mine/notes.txt && $out == *"not made by"* ]] && pass ||
        fail "foreignFolder_isRefusedAndKept $mode" "exit $code" "$out"
done

# An empty folder takes the unpacked archive.
mkdir -p "$work/empty"
run "$work/empty" "$work/prebuilt"
[[ $code == 0 && -f $work/empty/bin/Qt6Core.dll && -f $work/empty/kalvera-qt-stamp.txt ]] &&
    pass || fail emptyFolder_getsThePrebuiltQt "exit $code" "$out"

# A folder it made, stamped for other options, it replaces.
mkdir -p "$work/old"
printf 'Qt 6.4.2 for x86_64-w64-mingw32, posix threads\nconfigure -older -options\n' \
    >"$work/old/kalvera-qt-stamp.txt"
echo stale >"$work/old/stale.txt"
run "$work/old" "$work/prebuilt"
[[ $code == 0 && ! -e $work/old/stale.txt && -f $work/old/bin/Qt6Core.dll ]] && pass ||
    fail ownStampedFolder_isReplaced "exit $code" "$out"

# A prebuilt Qt unpacked by hand (no stamp), with no archive at hand: used as it is, no build.
tar -xJf "$work/prebuilt/qt6-base-6.4.2-mingw-w64.tar.xz" -C "$work"
run "$work/qt6-windows" "$work/none"
[[ $code == 0 && $out == *"$work/qt6-windows"* && ! -e $work/qt6-windows/kalvera-qt-stamp.txt ]] &&
    pass || fail unpackedPrebuiltQt_isUsedAsItIs "exit $code" "$out"
# Of another version, it is someone's folder: refused, kept.
sed -i 's/6.4.2/6.5.0/' "$work/qt6-windows/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake"
run "$work/qt6-windows" "$work/prebuilt"
[[ $code != 0 && -f $work/qt6-windows/bin/Qt6Core.dll ]] && pass ||
    fail unpackedQtOfAnotherVersion_isRefusedAndKept "exit $code" "$out"
finish
