#!/usr/bin/env bash
# Each word of the callbook format that a reader compares with stands as a string literal in
# one production file only, core/callbook_format.h; everything else uses its name there.
#
#   format_literals_test.sh SOURCE_DIR
set -u
cd "$1" || exit 1
failures=0
for word in 'seumur hidup' 'perpanjangan' 'baru' 'invalid' '0000-00-00' 'versi: ' 'null'; do
    # Lines of code only: a comment may name the word.
    files=$(grep -rnP "\"[^\"\\n]*\\b${word}[^\"\\n]*\"" --include='*.cpp' --include='*.h' \
        core queries update ui tools app | grep -vP '^[^:]+:\d+:\s*//' | cut -d: -f1 | sort -u)
    if [[ $files != core/callbook_format.h ]]; then
        echo "FAIL \"$word\" stands as a literal in: ${files:-no file}"
        failures=$((failures + 1))
    fi
done
echo "$((7 - failures)) passed, $failures failed"
[[ $failures == 0 ]]
