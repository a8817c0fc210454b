#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Clang in build-fuzz/ and runs each for a bounded
# time, on a copy of its committed seed corpus kept in build-fuzz/fuzz-run/<target>/ (so the
# seeds in the repository never change; what a run adds is kept there for the next run).
#
# Runtime: about a minute for the one target, plus the build (half a
# minute from scratch on two cores, more under load; nothing when up to date).
#
# One line per step on the terminal: the build, with its progress, then one row per target as
# it finishes: executions, executions a second, libFuzzer's coverage (cov: code edges, ft:
# features) and the corpus size. The build's output goes to build-fuzz/fuzz-build.log, each
# target's to build-fuzz/fuzz-run/<target>/log. When a target fails (a broken check, a
# sanitizer report, a timeout, running out of memory) it prints the failure, the reproducer's
# path, a hex dump of it and the command that runs it again, and the script exits 1 once every
# target has run.
#
# Usage: scripts/fuzz.sh [TARGET...]     (default: every folder under fuzz/corpus/)
# Environment: FUZZ_SECONDS (per target, default 60), FUZZ_JOBS (build jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/progress.sh

seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-$(nproc)}

build=build-fuzz
mkdir -p "$build"
scripts/ensure_packages.sh --log "$build/packages.log" \
    clang libclang-rt-14-dev cmake ninja-build libgtest-dev

started=$SECONDS
printf 'Building the fuzz targets (log: %s/fuzz-build.log)…' "$build"
if ! { CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALVERA_WITH_QT=OFF -DKALVERA_FUZZ=ON &&
    cmake --build "$build" -j "$jobs" --target fuzz_all; } 2>&1 |
    show_progress 3>&1 >"$build/fuzz-build.log"; then
    printf ' failed:\n'
    cat "$build/fuzz-build.log"
    exit 1
fi
printf ' done (%s)\n' "$(elapsed $((SECONDS - started)))"

if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    targets=()
    for folder in fuzz/corpus/*/; do
        targets+=("$(basename "$folder")")
    done
fi

# The target takes whole files: inputs may be as long as libFuzzer's limit from the
# start, instead of growing slowly from a few bytes.
options_of() {
    case $1 in
        callbook) echo -len_control=0 ;;
    esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

failed=()
printf '%-14s %10s %8s %6s %7s %7s  %s\n' target runs exec/s cov ft corpus result
for target in "${targets[@]}"; do
    binary=$build/bin/fuzz_$target
    run=$build/fuzz-run/$target
    mkdir -p "$run/corpus" "$run/artifacts"
    rm -f "$run/artifacts/"*
    cp "fuzz/corpus/$target/"* "$run/corpus/"

    status=0
    # shellcheck disable=SC2046  # the options are words
    "$binary" $(options_of "$target") -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1 ||
        status=$?

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log")
    last=$(grep -E '^#[0-9]+.*cov: ' "$run/log" | tail -n 1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    units=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
    result=ok
    if [[ $status != 0 ]]; then
        result="FAILED (exit $status)"
        failed+=("$target")
    fi
    printf '%-14s %10s %8s %6s %7s %7s  %s\n' "$target" "${runs:-?}" "${speed:-?}" \
        "${cov:-?}" "${ft:-?}" "${units:-?}" "$result"

    if [[ $status != 0 ]]; then
        echo
        echo "=== fuzz_$target failed; its output from the failure on ($run/log):"
        # From the failure on, without libFuzzer's own frames and statistics.
        sed -n '/check failed\|ERROR:\|runtime error\|ALARM\|out-of-memory/,$p' "$run/log" |
            grep -v -e '^stat::' -e ' in fuzzer::' -e ' in __sanitizer_print_stack_trace' \
                -e 'libc_start' -e ' in _start ' -e 'pthread_kill' -e ' in raise ' \
                -e ' in abort ' -e '^NOTE: libFuzzer has rudimentary' \
                -e 'Combine libFuzzer with' -e '(/lib/x86_64-linux-gnu/libc.so' |
            head -n 40
        for artifact in "$run/artifacts/"*; do
            [[ -f $artifact ]] || continue
            echo "--- reproducer: $artifact ($(stat -c %s "$artifact") bytes)"
            od -A x -t x1z -v "$artifact" | head -n 32
            [[ $(stat -c %s "$artifact") -le 512 ]] || echo "    (first 512 bytes shown)"
            echo "--- run it again: $binary $artifact"
        done
        echo
    fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
