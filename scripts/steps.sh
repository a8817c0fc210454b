# Sourced by run.sh, test.sh and install_deps.sh: one short line on the terminal per step,
# everything the step's commands print in a log file.
#
# Set STEP_LOG to the log file first; start_log empties it (and makes its folder).

# shellcheck source=progress.sh
source "$(dirname "${BASH_SOURCE[0]}")/progress.sh"
# shellcheck source=failed_tests.sh
source "$(dirname "${BASH_SOURCE[0]}")/failed_tests.sh"

# How run.sh and test.sh both configure build/: alike, so that either reuses what the other
# compiled there.
# shellcheck disable=SC2034  # used by the scripts that source this
main_build_options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVERA_WERROR=ON)

# building_text FOLDER TEXT: the step text for building in FOLDER, which tells that a first
# build takes a while when FOLDER holds no earlier build.
building_text() {
    if [[ -f $1/.ninja_log ]]; then
        printf '%s' "$2"
    else
        printf '%s (first build takes a few minutes)' "$2"
    fi
}

# keep_runtime_dir_in FOLDER: where no login session gave an XDG_RUNTIME_DIR, Qt makes
# /tmp/runtime-$USER for the window and the window tests and leaves it there; FOLDER, made here,
# takes its place.
keep_runtime_dir_in() {
    if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
        mkdir -p "$1"
        chmod 700 "$1"
        export XDG_RUNTIME_DIR=$1
    fi
}

start_log() {
    mkdir -p "$(dirname "$STEP_LOG")"
    : >"$STEP_LOG"
}

# step TEXT COMMAND...: prints TEXT, runs COMMAND with its output appended to $STEP_LOG, and
# ends the line with the time taken. Meanwhile the line shows how far a build or a test run has
# come (show_progress). When COMMAND fails: the failed tests, each with the end of its output,
# when COMMAND ran tests, else the end of the step's output; then the log's path, and the script
# ends with COMMAND's exit status.
step() {
    local text=$1 started=$SECONDS status=0 status_file offset
    shift
    printf '%s' "$text"
    offset=$(stat -c %s "$STEP_LOG")
    printf '\n== %s\n$ %s\n' "$text" "$*" >>"$STEP_LOG"
    status_file=$STEP_LOG.status
    {
        "$@" </dev/null 2>&1 || status=$?
        echo "$status" >"$status_file"
    } | show_progress 3>&1 >>"$STEP_LOG"
    status=$(<"$status_file")
    rm -f "$status_file"
    if ((status != 0)); then
        printf ' failed.\n\n'
        if ! tail -c +$((offset + 1)) "$STEP_LOG" | show_failed_tests; then
            tail -n 40 "$STEP_LOG" | sed 's/^/    /'
        fi
        printf '\nThe whole log: %s\n' "$STEP_LOG"
        exit "$status"
    fi
    printf ' done (%s)\n' "$(elapsed $((SECONDS - started)))"
}
