#!/usr/bin/env bash
# Each word of the callbook format that a reader compares with, and the callsign prefix, stands
# as a string literal in one production file only, core/callbook_format.h; everything else uses
# its name there.
# "baru" and "null" are also ordinary words of the window's texts, so for them only a literal
# that is the word itself counts; the others count wherever a literal holds them.
#
#   format_literals_test.sh SOURCE_DIR
set -u
source "$(dirname "$0")/../support/checks.sh"
cd "$1" || exit 1
check() { # NAME PATTERN
    # Lines of code only: a comment may name the word.
    local files
    files=$(grep -rnP "$2" --include='*.cpp' --include='*.h' core queries update ui tools app |
        grep -vP '^[^:]+:\d+:\s*//' | cut -d: -f1 | sort -u)
    [[ $files == core/callbook_format.h ]] && pass ||
        fail "\"$1\" stands as a literal in: ${files:-no file}"
}
for word in 'seumur hidup' 'perpanjangan' 'invalid' '0000-00-00' 'versi: ' 'QV27'; do
    check "$word" "\"[^\"\\n]*${word}[^\"\\n]*\""
done
for word in 'baru' 'null'; do
    check "$word" "\"${word}\""
done
finish
