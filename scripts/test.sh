#!/usr/bin/env bash
# Builds Kalvera and runs every test: the whole program in build/, and the Qt-free libraries
# and their tests once more under AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVERA_WITH_QT=OFF \
    -DKALVERA_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs" --timeout 300)
