# Sourced by steps.sh and package_windows.sh: progress of a long step on the terminal while
# its output goes to a log.

# show_progress [--own-line]: copies standard input to standard output (a log) and tells file
# descriptor 3 (the terminal) how far it has come, on the current line: ninja's "[n/m]" and
# ctest's "n/m Test" as a percentage when it has moved on, at most every 15 s; and at least
# once a minute, the time so far when no percentage has come. --own-line: what it tells goes
# on a line of its own, ended when the input ends.
show_progress() {
    local line pending='' percent='' shown='' started=$SECONDS last=$SECONDS status
    local own_line=false told=false
    [[ ${1:-} == --own-line ]] && own_line=true
    while :; do
        status=0
        IFS= read -r -t 15 line || status=$?
        if ((status > 128)); then  # timed out: keep what came of the line so far
            pending+=$line
        elif ((status == 0)) || [[ -n $pending$line ]]; then
            line=$pending$line
            pending=''
            printf '%s\n' "$line"
            if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] || $line =~ ^\ *([0-9]+)/([0-9]+)\ Test ]] &&
                ((BASH_REMATCH[2] > 0)); then
                percent=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
            fi
        fi
        if ((status != 0 && status <= 128)); then
            if $own_line && $told; then
                printf '\n' >&3
            fi
            return 0  # end of the output
        fi
        local tell=''
        if [[ -n $percent && $percent != "$shown" ]] && ((SECONDS - last >= 15)); then
            tell="$percent%"
            shown=$percent
        elif ((SECONDS - last >= 60)); then
            tell="$(elapsed $((SECONDS - started)))…"
        fi
        if [[ -n $tell ]]; then
            if $own_line && ! $told; then
                printf '   ' >&3
            fi
            printf ' %s' "$tell" >&3
            told=true
            last=$SECONDS
        fi
    done
}

elapsed() {
    if (($1 >= 60)); then
        printf '%dm %02ds' $(($1 / 60)) $(($1 % 60))
    else
        printf '%ds' "$1"
    fi
}
