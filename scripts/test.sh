#!/usr/bin/env bash
# Builds Kalvera and runs every test twice: in build/, and in build-asan/ built with
# AddressSanitizer and UndefinedBehaviorSanitizer (window and download tests included), then
# fuzzes (scripts/fuzz.sh). Warnings are errors in both, as in CI. build/ is configured as
# scripts/run.sh configures it, so each reuses what the other compiled. What the steps print goes
# to build/test.log and build-asan/test.log, and the fuzzing's to build-fuzz/ (fuzz-build.log,
# fuzz-run/<target>/log); the terminal gets one line per step, with the progress of builds and
# test runs at least once a minute. A failed test run names the failed tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

jobs=$(nproc)
keep_runtime_dir_in "$PWD/build/runtime"

# CTest's own summary line from the log ("100% tests passed, 0 tests failed out of 98").
tests_summary() {
    echo "    $(grep -h 'tests passed' "$STEP_LOG" | tail -n 1)"
}

STEP_LOG=$PWD/build/test.log
start_log
scripts/install_deps.sh --log "$STEP_LOG"
step "Configuring…" cmake -S . -B build "${main_build_options[@]}"
step "$(building_text build "Building…")" cmake --build build -j "$jobs"
step "Running tests…" ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300
tests_summary

STEP_LOG=$PWD/build-asan/test.log
start_log
step "Configuring the sanitizer build (build-asan/)…" cmake -S . -B build-asan -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DKALVERA_SANITIZE=ON -DKALVERA_WERROR=ON
step "$(building_text build-asan "Building it…")" cmake --build build-asan -j "$jobs"
# Leaks are reported too (LeakSanitizer is part of AddressSanitizer here). Any finding fails
# its test.
export ASAN_OPTIONS=strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1
step "Running tests under the sanitizers…" \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300
tests_summary

# The code that reads what others write, under libFuzzer for about a minute; a failure stops
# CI and shows the input that causes it. Its logs are in build-fuzz/ (scripts/fuzz.sh).
echo "Fuzzing… (about a minute, after building the fuzz targets; logs in build-fuzz/)"
scripts/fuzz.sh
