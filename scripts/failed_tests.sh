# Sourced by steps.sh and package_windows.sh: what a failed or retried ctest run is reported with.

# show_failed_tests [LINES] < CTEST_OUTPUT: for every test that CTest's closing list names as
# failed, its name, how it failed and the last LINES (default 20) lines of its own output, as
# --output-on-failure put them after the test's result line. Fails, printing nothing, when the
# output names no failed test (CTest did not get that far).
show_failed_tests() {
    awk -v keep="${1:-20}" '
        # A result line ("12/98 Test #12: name ....***Failed  0.05 sec") opens a test output;
        # the next result, a test start or the summary closes it.
        /^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: / {
            current = $0
            sub(/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: /, "", current)
            sub(/ .*/, "", current)
            count[current] = 0
            next
        }
        /^ *Start +[0-9]+: / || /^[0-9]+% tests passed/ { current = ""; next }
        /^The following tests FAILED:/ { listing = 1; next }
        listing && /^\t *[0-9]+ - / {
            name = $0
            sub(/^\t *[0-9]+ - /, "", name)
            how = name
            sub(/ \([^()]*\)$/, "", name)
            sub(/.* \(/, "", how)
            sub(/\)$/, "", how)
            failed[++failures] = name
            status[name] = how
            next
        }
        listing { listing = 0 }
        current != "" { lines[current, count[current]++ % keep] = $0 }
        END {
            for (i = 1; i <= failures; i++) {
                name = failed[i]
                n = count[name]
                first = n > keep ? n - keep : 0
                while (n > first && lines[name, (n - 1) % keep] == "") n--
                printf "FAILED: %s (%s)%s\n", name, status[name],
                    (n > first ? "; the end of its output:" : ", with no output")
                for (j = first; j < n; j++) printf "    %s\n", lines[name, j % keep]
            }
            exit failures == 0
        }'
}

# show_retried_tests < CTEST_OUTPUT: of a run with --repeat until-pass that passed, the tests
# that failed before they passed, one line each; nothing when none did.
show_retried_tests() {
    sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: ([^ ]+) .*\*\*\*(Failed|Exception).*/\1/p' |
        sort -u | sed 's/^/    passed on its second run: /'
}
