# Sourced by run.sh, test.sh and install_deps.sh: one short line on the terminal per step,
# everything the step's commands print in a log file.
#
# Set STEP_LOG to the log file first; start_log empties it (and makes its folder).

start_log() {
    mkdir -p "$(dirname "$STEP_LOG")"
    : >"$STEP_LOG"
}

# step TEXT COMMAND...: prints TEXT, runs COMMAND with its output appended to $STEP_LOG, and
# ends the line with the time taken. When COMMAND fails: the end of the log, the log's path,
# and the script ends with COMMAND's exit status.
step() {
    local text=$1 started=$SECONDS status=0
    shift
    printf '%s' "$text"
    printf '\n== %s\n$ %s\n' "$text" "$*" >>"$STEP_LOG"
    "$@" >>"$STEP_LOG" 2>&1 </dev/null || status=$?
    if ((status != 0)); then
        printf ' failed. The end of the log:\n\n'
        tail -n 40 "$STEP_LOG" | sed 's/^/    /'
        printf '\nThe whole log: %s\n' "$STEP_LOG"
        exit "$status"
    fi
    printf ' done (%s)\n' "$(elapsed $((SECONDS - started)))"
}

elapsed() {
    if (($1 >= 60)); then
        printf '%dm %02ds' $(($1 / 60)) $(($1 % 60))
    else
        printf '%ds' "$1"
    fi
}
