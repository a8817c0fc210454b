# The shell tests' common ground, sourced: a temporary folder $work removed at the end (with
# whatever `cleanup` does first, when the test defines it), and the pass and fail counts.
#   [[ CONDITION ]] && pass || fail NAME DETAIL...
#   finish    # prints the counts; the test's status: 0 when nothing failed
work=$(mktemp -d)
trap 'declare -F cleanup >/dev/null && cleanup; rm -rf "$work"' EXIT
passes=0
failures=0
pass() { passes=$((passes + 1)); }
fail() {
    echo "FAIL $1"
    shift
    printf '    %s\n' "$@"
    failures=$((failures + 1))
}
finish() {
    echo "$passes passed, $failures failed"
    [[ $failures == 0 ]]
}
