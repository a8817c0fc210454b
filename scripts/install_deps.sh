#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running and testing Kalvera need
# and that this machine lacks. Does nothing (and needs no network) when all are there.
#
#   scripts/install_deps.sh [--bench] [--log FILE]
#
# --bench adds what bench/run_bench.sh needs. apt-get's own output goes to FILE (default:
# build/setup.log); the terminal gets one line, and the log's end when something fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=steps.sh
source "$here/steps.sh"

packages=(
    g++ cmake ninja-build pkg-config          # tool chain
    libgtest-dev                              # tests of the Qt-free code
    qt6-base-dev                              # the window (Widgets, Test; Network for tests)
    qt6-base-private-dev                      # the accessibility test's switch for Qt's events
    libcurl4-openssl-dev                      # the download's HTTP client
    ca-certificates                           # the roots https certificates are checked against
    openssl                                   # the download tests' own certificates
    fonts-wine                                # Tahoma
    xvfb xauth imagemagick                    # running and looking at the window without a display
    openbox xdotool dbus at-spi2-core python3-pyatspi  # the window with a screen reader's eyes
)
STEP_LOG=$(cd "$here/.." && pwd)/build/setup.log
while (($#)); do
    case $1 in
        --bench) packages+=(gnuplot-nox time) ;;
        --log) STEP_LOG=$2; shift ;;
        *) echo "install_deps.sh: unknown argument: $1" >&2; exit 64 ;;
    esac
    shift
done

mapfile -t missing < <("$here/ensure_packages.sh" --list-missing "${packages[@]}")
[[ ${#missing[@]} == 0 ]] && exit 0

[[ -e $STEP_LOG ]] || start_log
sudo=()
if [[ $(id -u) != 0 ]]; then
    sudo=(sudo)
    # The password prompt, if any, before the output goes to the log.
    sudo -v
fi
export DEBIAN_FRONTEND=noninteractive
install_packages() {
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "$@"
}
step "Installing packages: ${missing[*]}…" install_packages "${missing[@]}"
