#!/usr/bin/env bash
# Each word of the callbook format that a reader compares with, and the callsign prefix, stands
# as a string literal in one production file only, core/callbook_format.h; everything else uses
# its name there.
# "baru" and "null" are also ordinary words of the window's texts, so for them only a literal
# that is the word itself counts; the others count wherever a literal holds them.
#
#   format_literals_test.sh SOURCE_DIR
set -u
cd "$1" || exit 1
failures=0
checked=0
check() { # NAME PATTERN
    checked=$((checked + 1))
    # Lines of code only: a comment may name the word.
    local files
    files=$(grep -rnP "$2" --include='*.cpp' --include='*.h' core queries update ui tools app |
        grep -vP '^[^:]+:\d+:\s*//' | cut -d: -f1 | sort -u)
    if [[ $files != core/callbook_format.h ]]; then
        echo "FAIL \"$1\" stands as a literal in: ${files:-no file}"
        failures=$((failures + 1))
    fi
}
for word in 'seumur hidup' 'perpanjangan' 'invalid' '0000-00-00' 'versi: ' 'QV27'; do
    check "$word" "\"[^\"\\n]*${word}[^\"\\n]*\""
done
for word in 'baru' 'null'; do
    check "$word" "\"${word}\""
done
echo "$((checked - failures)) passed, $failures failed"
[[ $failures == 0 ]]
