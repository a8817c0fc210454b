# Sourced by run.sh, test.sh, install_deps.sh, fuzz.sh and package_windows.sh: one short line
# on the terminal per step, everything the step's commands print in a log file.
#
# Set STEP_LOG to the log file first; start_log empties it (and makes its folder).

# shellcheck source=progress.sh
source "$(dirname "${BASH_SOURCE[0]}")/progress.sh"

start_log() {
    mkdir -p "$(dirname "$STEP_LOG")"
    : >"$STEP_LOG"
}

# step TEXT COMMAND...: prints TEXT, runs COMMAND with its output appended to $STEP_LOG, and
# ends the line with the time taken. Meanwhile the line shows how far a build or a test run has
# come (show_progress). When COMMAND fails: the end of the log, the log's path, and the script
# ends with COMMAND's exit status.
step() {
    local text=$1 started=$SECONDS status=0 status_file
    shift
    printf '%s' "$text"
    printf '\n== %s\n$ %s\n' "$text" "$*" >>"$STEP_LOG"
    status_file=$(mktemp)
    {
        "$@" </dev/null 2>&1 || status=$?
        echo "$status" >"$status_file"
    } | show_progress 3>&1 >>"$STEP_LOG"
    status=$(<"$status_file")
    rm -f "$status_file"
    if ((status != 0)); then
        printf ' failed. The end of the log:\n\n'
        tail -n 40 "$STEP_LOG" | sed 's/^/    /'
        printf '\nThe whole log: %s\n' "$STEP_LOG"
        exit "$status"
    fi
    printf ' done (%s)\n' "$(elapsed $((SECONDS - started)))"
}
