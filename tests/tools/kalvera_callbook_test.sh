#!/usr/bin/env bash
# End-to-end runs of kalvera-callbook: output lines and exit codes, on the sample callbook and
# on small files made here.
set -u
tool=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

# expect NAME EXPECTED_EXIT EXPECTED_STDOUT EXPECTED_STDERR -- ARGS...
expect() {
    local name=$1 want_code=$2 want_out=$3 want_err=$4
    shift 5
    local out err code
    out=$("$tool" "$@" 2>"$work/err")
    code=$?
    err=$(cat "$work/err")
    if [[ $code != "$want_code" || $out != "$want_out" || ($want_err != "*" && $err != "$want_err") ]]; then
        echo "FAIL $name: exit $code (want $want_code)"
        diff <(printf '%s\n' "$want_out") <(printf '%s\n' "$out") | sed 's/^/    /'
        [[ $want_err == "*" ]] || echo "    stderr: $err (want $want_err)"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

expect lookup_found_printsSevenBoxesAndColour 0 "QV27ABC
Budi Santoso
Jl. Melati 7
Kab. Contoh
0412
31-01-2026
PERPANJANGAN
#00FF00" "" -- lookup "$sample" QV27ABC --today 2026-12-06

expect lookup_noStatus_printsWhite 0 "QV27ACA
Agus Prasetyo
Jl. Diponegoro 45
Kota Wirasena
0101
06-12-2026

#FFFFFF" "" -- lookup "$sample" QV27ACA --today 2026-12-06

expect lookup_absent_printsNotFoundLine 1 "QV27XYZ tidak ditemukan!" "" -- lookup "$sample" QV27XYZ
expect lookup_lowercaseKey_isUsedAsGiven 1 "qv27abc tidak ditemukan!" "" -- lookup "$sample" qv27abc

printf 'QV27ABC#Ren\xe9#Jl#Kota#1#2020-01-01#\r\n' >"$work/ansi.txt"
expect lookup_ansiField_isPrintedAsUtf8 0 "QV27ABC
René
Jl
Kota
1
01-01-2020
INVALID
#FF0000" "" -- lookup "$work/ansi.txt" QV27ABC --today 2026-12-06

expect lookup_missingFile_exits2 2 "" "Database tidak ditemukan!" -- lookup "$work/none.txt" QV27ABC
mkdir "$work/log.txt"
expect lookup_folderNamedLikeTheFile_isMissing 2 "" "Database tidak ditemukan!" -- lookup "$work/log.txt" QV27ABC

printf 'versi: 1\r\nQV27A#a#b#Kota Satu#1#null#\r\nQV27B#a#b#Kota Dua#1#null#baru\r\nQV27C#a#b#KOTA SATU#1#null#' >"$work/regions.txt"
expect regions_leadingVersionLine_givesEmptyFirstEntry 0 "
Kota Satu
Kota Dua
KOTA SATU" "" -- regions "$work/regions.txt"
: >"$work/empty.txt"
expect regions_emptyFile_givesOneEmptyLine 0 "" "" -- regions "$work/empty.txt"
[[ $("$tool" regions "$work/empty.txt" | wc -l) == 1 ]] && passes=$((passes + 1)) ||
    { echo "FAIL regions_emptyFile_printsExactlyOneLine"; failures=$((failures + 1)); }
expect regions_missingFile_exits2Silently 2 "" "" -- regions "$work/none.txt"

expect listing_rowsOfOneRegion 0 "QV27B | a | b | Kota Dua | 1 | - | BARU" "" -- listing "$work/regions.txt" "Kota Dua"
expect listing_missingFile_exits2 2 "" "Database tidak ditemukan!" -- listing "$work/none.txt" "Kota Dua"

expect version_lastVersionLine 0 "Database versi: 2026-12-01 08:00 WIB" "" -- version "$sample"
expect version_noVersionLine_printsNothing 0 "" "" -- version "$work/empty.txt"
expect version_missingFile_exits2 2 "" "Database tidak ditemukan!" -- version "$work/none.txt"

expect usage_noArguments 64 "" "*" --
expect usage_unknownCommand 64 "" "*" -- find "$sample" QV27ABC
expect usage_missingKey 64 "" "*" -- lookup "$sample"
expect usage_badToday 64 "" "*" -- lookup "$sample" QV27ABC --today besok
expect usage_todayOnVersion 64 "" "*" -- version "$sample" --today 2026-12-06

echo "$passes passed, $failures failed"
[[ $failures == 0 ]]
