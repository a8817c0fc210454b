#!/usr/bin/env bash
# build_qt_windows.sh [--from-source] [--print-prefix]
#
# Makes Qt 6 (Core, Gui, Widgets, Network, Test) for 64-bit Windows available to the cross-build,
# in a prefix outside the source tree: $KALVERA_QT_WINDOWS, by default
# ~/.cache/kalvera/qt6-windows-6.4.2. Debian ships no Qt for MinGW, but it ships Qt's source.
#
# - A prefix that carries the stamp of the wanted version and configure options is used as it is.
# - So is a prefix that holds an unpacked prebuilt Qt of the wanted version (the archive below,
#   unpacked by hand: its folder qt6-windows/), although it carries no stamp.
# - Otherwise, when the prebuilt archive made by the same configure line is at hand
#   ($KALVERA_QT_WINDOWS_PREBUILT, by default ../shared/qt6-windows beside the repository) and its
#   sha256 checks, it is unpacked (a few seconds).
# - Otherwise (or with --from-source) Qt is built from Debian's qt6-base source package
#   (scripts/fetch_debian_source.sh), with one small fix, then configured, built and installed.
#   This takes 40 to 70 minutes on two cores; the work folder ($KALVERA_QT_WINDOWS_WORK, by
#   default ~/.cache/kalvera/qt6-base-build) is kept, so an interrupted build goes on where it
#   stopped. Its output goes to qt-build.log there.
# The prefix is replaced only when it is missing, empty or made by this script (it carries the
# stamp, written before anything is put there); any other folder is left alone, with a message.
#
# --print-prefix prints the prefix and exits.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
# shellcheck source=progress.sh
source "$here/progress.sh"

qt_version=6.4.2
prefix="${KALVERA_QT_WINDOWS:-$HOME/.cache/kalvera/qt6-windows-$qt_version}"
prebuilt="${KALVERA_QT_WINDOWS_PREBUILT:-$repo/../shared/qt6-windows}"
prebuilt_archive="qt6-base-$qt_version-mingw-w64.tar.xz"
work="${KALVERA_QT_WINDOWS_WORK:-$HOME/.cache/kalvera/qt6-base-build}"

# Shared, release, the bundled third-party libraries, and nothing the program does not use.
# Debian's repack of the source drops src/3rdparty/wintab, hence no tablet events.
configure_options=(
    -release -shared
    -xplatform win32-g++ -qt-host-path /usr
    -nomake examples -nomake tests -nomake benchmarks
    -no-opengl -no-dbus -no-icu -no-zstd -qt-freetype -no-fontconfig
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -no-openssl
    -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml
    -no-feature-tabletevent -no-feature-vulkan -no-feature-gssapi -no-feature-direct2d
)
stamp_file="$prefix/kalvera-qt-stamp.txt"
stamp="Qt $qt_version for x86_64-w64-mingw32, posix threads
configure ${configure_options[*]}"

from_source=false
for arg in "$@"; do
    case $arg in
        --from-source) from_source=true ;;
        --print-prefix)
            echo "$prefix"
            exit 0
            ;;
        *)
            echo "usage: $0 [--from-source] [--print-prefix]" >&2
            exit 64
            ;;
    esac
done

if [[ -f $stamp_file && $(cat "$stamp_file") == "$stamp" ]] && ! $from_source; then
    echo "  Qt $qt_version for Windows is ready in $prefix"
    exit 0
fi

# A Qt for MinGW of the wanted version, installed as the prebuilt archive holds it.
holds_prebuilt_qt() {
    [[ -f $prefix/bin/Qt6Core.dll ]] &&
        grep -qF "set(PACKAGE_VERSION \"$qt_version\")" \
            "$prefix/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake" 2>/dev/null
}
if [[ ! -f $stamp_file ]] && holds_prebuilt_qt && ! $from_source; then
    echo "  Qt $qt_version for Windows, unpacked by hand, is used as it is: $prefix"
    exit 0
fi

# Only a folder this script made (stamped) may be deleted; an empty one or none may be filled.
if [[ -d $prefix && ! -f $stamp_file && -n $(ls -A "$prefix") ]]; then
    cat >&2 <<MESSAGE
$prefix holds files not made by scripts/build_qt_windows.sh (it has no
kalvera-qt-stamp.txt), so nothing there was changed or deleted. Empty it, or name another
folder with KALVERA_QT_WINDOWS. (Qt $qt_version for Windows unpacked from the prebuilt archive
is used as it is, but not with --from-source.)
MESSAGE
    exit 1
fi
if [[ -e $prefix && ! -d $prefix ]]; then
    echo "$prefix is not a folder; name another one with KALVERA_QT_WINDOWS." >&2
    exit 1
fi

# Makes the prefix empty, and marks it as this script's before anything goes in.
claim_prefix() {
    rm -rf "$prefix"
    mkdir -p "$prefix"
    printf 'incomplete\n' >"$stamp_file"
}

write_stamp() { # origin
    printf '%s\n' "$stamp" >"$stamp_file"
    printf '%s\n' "$1" >"$prefix/kalvera-qt-origin.txt"
}

prebuilt_checks() {
    [[ -f $prebuilt/$prebuilt_archive && -f $prebuilt/SHA256SUMS ]] || return 1
    if ! (cd "$prebuilt" && grep -F " $prebuilt_archive" SHA256SUMS | sha256sum --check --status); then
        echo "  $prebuilt/$prebuilt_archive does not match its SHA256SUMS; building instead" >&2
        return 1
    fi
}

unpack_prebuilt() {
    echo "  unpacking the prebuilt Qt $qt_version for Windows into $prefix"
    local parent
    parent="$(dirname "$prefix")"
    mkdir -p "$parent"
    local unpack
    unpack="$(mktemp -d "$parent/.unpack.XXXXXX")"
    tar -xJf "$prebuilt/$prebuilt_archive" -C "$unpack"
    rm -rf "$prefix"  # missing, empty or this script's own: checked above
    mv "$unpack/qt6-windows" "$prefix"
    rmdir "$unpack"
    write_stamp "unpacked from $prebuilt_archive ($(cd "$prebuilt" && grep -F " $prebuilt_archive" SHA256SUMS | cut -d' ' -f1))"
}

build_from_source() {
    mkdir -p "$work"
    log="$work/qt-build.log"
    : >>"$log"
    "$here/ensure_packages.sh" --log "$log" dpkg-dev xz-utils perl python3 cmake ninja-build \
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
        mingw-w64-x86-64-dev qt6-base-dev qt6-base-dev-tools
    "$here/fetch_debian_source.sh" --log "$log" qt6-base "$work"
    local source
    source="$(compgen -G "$work/qt6-base-$qt_version*/configure" | head -n 1)"
    if [[ -z $source ]]; then
        echo "Debian's qt6-base source is not Qt $qt_version" >&2
        exit 1
    fi
    source="$(dirname "$source")"

    # Qt 6.4 cannot link qwindows.dll with Direct2D off: the DirectWrite font database it then
    # still creates lives in the Direct2D code. Fall back to the GDI font database instead.
    local integration="$source/src/plugins/platforms/windows/qwindowsintegration.cpp"
    if ! grep -q 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration"; then
        sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
            "$integration"
        if [[ $(grep -c 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration") != 2 ]]; then
            echo "The Direct2D fix no longer fits $integration" >&2
            exit 1
        fi
    fi

    local build="$work/build"
    mkdir -p "$build"
    if [[ ! -f $build/build.ninja || $(cat "$build/kalvera-configure.txt" 2>/dev/null) != "$stamp"$'\n'"$prefix" ]]; then
        echo "  configuring Qt $qt_version for Windows (log: $log)"
        rm -rf "$build" && mkdir -p "$build"
        (cd "$build" && "$source/configure" -prefix "$prefix" "${configure_options[@]}" \
            -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake 2>&1) |
            show_progress --own-line 3>&1 >>"$log"
        printf '%s\n%s\n' "$stamp" "$prefix" >"$build/kalvera-configure.txt"
    fi
    echo "  building Qt $qt_version for Windows: 40 to 70 minutes on two cores (log: $log)"
    local started=$SECONDS
    cmake --build "$build" -j "${KALVERA_JOBS:-$(nproc)}" 2>&1 | show_progress --own-line 3>&1 >>"$log"
    claim_prefix
    cmake --install "$build" >>"$log" 2>&1
    write_stamp "built from $(basename "$source") in $(((SECONDS - started) / 60)) minutes"
    echo "  Qt $qt_version for Windows built in $(((SECONDS - started) / 60)) minutes"
}

log=/dev/null
trap '[[ $log == /dev/null ]] || tail -n 30 "$log" >&2; echo "Qt for Windows: failed (log: $log)" >&2' ERR
if ! $from_source && prebuilt_checks; then
    unpack_prebuilt
else
    build_from_source
fi
