#!/usr/bin/env bash
# Builds the program build/bin/Kalvera, the tool build/bin/kalvera-callbook and the sample
# callbook build/bin/log.txt (unless a log.txt is there already), then opens the window.
# Without a display the window runs under Xvfb for a few seconds and a screenshot is saved
# instead. What the steps print goes to build/run.log. build/ is configured as scripts/test.sh
# configures it, so each reuses what the other compiled.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

STEP_LOG=$PWD/build/run.log
start_log
scripts/install_deps.sh --log "$STEP_LOG"
step "Configuring…" cmake -S . -B build "${main_build_options[@]}"
step "$(building_text build "Building…")" \
    cmake --build build -j "$(nproc)" --target Kalvera kalvera-callbook sample_callbook

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    echo "Opening the window (build/bin/Kalvera)"
    exec build/bin/Kalvera
fi

keep_runtime_dir_in "$PWD/build/runtime"
shot=$PWD/build/screenshot.png
rm -f "$shot"
# A D-Bus session of its own, ended with the window: without one, Qt's accessibility bridge
# asks libdbus, which starts a bus for the X display and leaves its address in ~/.dbus.
show_under_xvfb() {
    xvfb-run -a -s '-screen 0 800x600x24 -nolisten tcp' dbus-run-session -- bash -c '
        build/bin/Kalvera & pid=$!
        sleep 3
        import -window root "$1"
        kill $pid; wait $pid 2>/dev/null || true' _ "$shot"
    [[ -s $shot ]]
}
step "No display here: running the window under Xvfb…" show_under_xvfb
echo "Its screenshot: $shot"
