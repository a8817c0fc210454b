#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running and testing Kalvera need
# and that this machine lacks. Does nothing (and needs no network) when all are there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config          # tool chain
    libgtest-dev                              # tests of the Qt-free code
    qt6-base-dev                              # the window (Widgets, Network, Test)
    libcpp-httplib-dev                        # HTTP server inside the download tests
    fonts-wine                                # Tahoma
    xvfb xauth imagemagick                    # running and looking at the window without a display
)
if [[ ${1:-} == --bench ]]; then
    packages+=(gnuplot-nox time)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} == 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
