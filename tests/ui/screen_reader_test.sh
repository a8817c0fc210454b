#!/usr/bin/env bash
# screen_reader_test.sh KALVERA SAMPLE_CALLBOOK
# The window as a screen reader meets it: Kalvera on its own X display (Xvfb) with a window
# manager (openbox) and the AT-SPI accessibility bus, driven by xdotool, with what reaches the
# bus checked by screen_reader_test.py. Installs what it lacks with scripts/ensure_packages.sh;
# skips (exit 77) only when those packages cannot be installed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
packages=(xvfb xauth openbox xdotool dbus at-spi2-core python3-pyatspi)
if ! "$here/../../scripts/ensure_packages.sh" "${packages[@]}" >&2; then
    echo "SKIP: cannot install ${packages[*]}"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/Kalvera" "$work/runtime"
cp "$1" "$work/Kalvera/"
cp "$2" "$work/Kalvera/log.txt"

# Inside the display: a D-Bus session of its own (the accessibility bus is started on demand
# from it), then the test, which starts a window manager. Qt's bridge is switched on as a screen
# reader's start would switch it on.
export XDG_RUNTIME_DIR=$work/runtime HOME=$work QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# A sanitizer build of Kalvera meets a library of X11's that the offscreen tests never load.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}suppressions=$here/x11_sanitizer.supp"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" dbus-run-session -- /usr/bin/python3 \
    "$here/screen_reader_test.py" "$work/Kalvera/$(basename "$1")" "$work/Kalvera"
