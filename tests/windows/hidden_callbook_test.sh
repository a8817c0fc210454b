#!/usr/bin/env bash
# hidden_callbook_test.sh WINDOWS_TOOL SAMPLE_CALLBOOK
# On Windows a log.txt marked hidden or system counts as missing: kalvera-callbook.exe then says
# "Database tidak ditemukan!" as for no file at all, and finds the callbook again once the mark
# is taken off. The marks are set with Windows' own attrib, in a folder with a non-ASCII name.
# Needs $KALVERA_WINE and a started Wine (wine_session.sh).
set -u
tool=$(realpath "$1")
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

folder="$work/Dédé Пример"
mkdir -p "$folder"
cp "$sample" "$folder/log.txt"

attrib() {
    (cd "$folder" && "$KALVERA_WINE" cmd /c attrib "$@" log.txt >/dev/null 2>&1)
}

# expect NAME CODE STDERR: the lookup of a sample member, run in the folder.
expect() {
    local name=$1 want_code=$2 want_err=$3
    local code err
    (cd "$folder" && "$KALVERA_WINE" "$tool" lookup log.txt QV27ABC >/dev/null 2>"$work/err")
    code=$?
    err=$(cat "$work/err")
    if [[ $code != "$want_code" || $err != "$want_err" ]]; then
        echo "FAIL $name: exit $code (want $want_code), stderr: $err"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

expect plainFile_isFound 0 ""
attrib +h
expect hiddenFile_isMissing 2 "Database tidak ditemukan!"
attrib -h +s
expect systemFile_isMissing 2 "Database tidak ditemukan!"
attrib +h +s
expect hiddenSystemFile_isMissing 2 "Database tidak ditemukan!"
attrib -h -s +r
expect readOnlyFile_isFound 0 ""

echo "$passes passed, $failures failed"
[[ $failures == 0 ]]
