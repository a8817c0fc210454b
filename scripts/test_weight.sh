#!/usr/bin/env bash
# Prints how much test code there is against production code: lines that are neither blank
# nor a comment, in the program's own folders (core/ queries/ update/ ui/ tools/ app/; the
# generated tables of letters and upper case left out) and in tests/ and fuzz/ (C++, shell,
# Python). Our rule is a quarter to a third.
#
#   scripts/test_weight.sh [--by-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

# Counts the lines of the files named on standard input: C++ comments are // lines and
# /* */ blocks, shell and Python comments # lines (a shebang too).
count() {
    xargs -r -0 awk '
        FNR == 1 { block = 0; cpp = FILENAME ~ /\.(cpp|h)$/ }
        {
            line = $0
            gsub(/^[ \t]+|[ \t]+$/, "", line)
            if (line == "") next
            if (cpp) {
                if (block) { if (line ~ /\*\//) block = 0; next }
                if (line ~ /^\/\*/) { if (line !~ /\*\//) block = 1; next }
                if (line ~ /^\/\//) next
            } else if (line ~ /^#/) next
            n++
        }
        END { print n + 0 }'
}
files() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' \) \
        ! -name upper_case_table.h ! -name letter_table.h -print0
}

production=$(files core queries update ui tools app | count)
tests=$(files tests fuzz | count)
if [[ ${1:-} == --by-folder ]]; then
    for folder in core queries update ui tools; do
        own=$(files "$folder" | count)
        theirs=$(files "tests/$folder" | count)
        awk -v f="$folder" -v p="$own" -v t="$theirs" \
            'BEGIN { printf "%-8s %5d production %5d tests  %.2f\n", f, p, t, t / p }'
    done
fi
awk -v p="$production" -v t="$tests" \
    'BEGIN { printf "production %d lines, tests and fuzz targets %d lines: %.2f\n", p, t, t / p }'
