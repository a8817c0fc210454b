#!/usr/bin/env bash
# End-to-end runs of kalvera-callbook: output lines, messages and exit codes, on the sample
# callbook and on small files made here.
#
#   kalvera_callbook_test.sh TOOL SAMPLE_CALLBOOK PROJECT_VERSION
set -u
tool=$1
sample=$2
project_version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

# Runs the tool; leaves its exit code in $code, its output in $out and $err (without the
# final line feeds) and the number of lines on standard error in $err_lines.
run() {
    "$tool" "$@" >"$work/out" 2>"$work/err"
    code=$?
    out=$(<"$work/out")
    err=$(<"$work/err")
    err_lines=$(wc -l <"$work/err")
}

pass() { passes=$((passes + 1)); }
fail() {
    echo "FAIL $1"
    shift
    printf '    %s\n' "$@"
    failures=$((failures + 1))
}

# expect NAME EXIT STDOUT STDERR -- ARGS...: all three exactly.
expect() {
    local name=$1 want_code=$2 want_out=$3 want_err=$4
    shift 5
    run "$@"
    if [[ $code != "$want_code" || $out != "$want_out" || $err != "$want_err" ]]; then
        fail "$name" "exit $code (want $want_code)" "stdout:" "$out" "(want)" "$want_out" \
            "stderr: $err (want $want_err)"
    else
        pass
    fi
}

# expect_usage_error NAME PROBLEM -- ARGS...: exit 64, nothing on standard output, and one
# line on standard error that holds PROBLEM and points to --help, not the whole usage.
expect_usage_error() {
    local name=$1 problem=$2
    shift 3
    run "$@"
    if [[ $code != 64 || -n $out || $err_lines != 1 || $err != *"$problem"* || $err != *--help* ]]; then
        fail "$name" "exit $code (want 64), $err_lines line(s) on stderr (want 1)" \
            "stderr: $err" "(want a line with: $problem, and --help)" "stdout: $out"
    else
        pass
    fi
}

# --- help and version ----------------------------------------------------------------------

run --help
usage=$out
if [[ $code == 0 && -z $err ]] &&
    grep -q '^Usage: kalvera-callbook' <<<"$usage" &&
    grep -q "^  lookup FILE KEY " <<<"$usage" &&
    grep -q '^  regions FILE ' <<<"$usage" &&
    grep -q '^  listing FILE REGION ' <<<"$usage" &&
    grep -q '^  version FILE ' <<<"$usage" &&
    grep -q '^KEY is ' <<<"$usage" && grep -q '^REGION is ' <<<"$usage" &&
    grep -q -- '--today YYYY-MM-DD' <<<"$usage" && grep -q -- '--exact' <<<"$usage"; then
    pass
else
    fail help_long_printsUsageWithSubcommandsKeyAndRegionOnStdout "exit $code" "$usage" "$err"
fi
for status in 0 1 2 64 74; do
    grep -q "^  $status  *[a-z]" <<<"$usage" && pass ||
        fail "help_namesExitStatus_$status" "$usage"
done

# Every way of asking for help gives the same text and exit 0, whatever else is there.
for args in "-h" "lookup --help" "lookup -h" "lookup $sample --help" "listing $sample Kota -h" \
    "regions --help $sample" "version $sample -h" "LOOKUP --help" "lookup --today besok --help" \
    "--help lookup"; do
    # shellcheck disable=SC2086  # the words of $args are the arguments
    run $args
    [[ $code == 0 && $out == "$usage" && -z $err ]] && pass ||
        fail "help_anywhere_printsUsage ($args)" "exit $code" "stderr: $err"
done

expect version_printsProjectVersion 0 "kalvera-callbook $project_version" "" -- --version
expect version_afterSubcommand_printsProjectVersion 0 "kalvera-callbook $project_version" "" \
    -- lookup --version

# --- wrong arguments -----------------------------------------------------------------------

expect_usage_error usage_noArguments "missing subcommand" --
expect_usage_error usage_unknownSubcommand "unknown subcommand: LOOKUP" -- LOOKUP "$sample" abc
expect_usage_error usage_badDate "--today: not a date written YYYY-MM-DD: 2026-13-01" -- \
    lookup "$sample" abc --today 2026-13-01
expect_usage_error usage_badDateWithEquals "--today: not a date written YYYY-MM-DD: besok" -- \
    listing "$sample" Kota --today=besok
expect_usage_error usage_dateWithoutLeadingZeros \
    "--today: not a date written YYYY-MM-DD: 2026-2-3" -- lookup "$sample" abc --today 2026-2-3
expect_usage_error usage_todayWithoutDate "--today: missing date" -- lookup "$sample" abc --today
expect_usage_error usage_todayTwice "--today: given more than once" -- \
    lookup "$sample" abc --today 2026-01-01 --today 2026-01-02
expect_usage_error usage_missingKey "lookup: missing KEY" -- lookup "$sample"
expect_usage_error usage_missingFile "listing: missing FILE" -- listing
expect_usage_error usage_missingRegion "listing: missing REGION" -- listing "$sample"
expect_usage_error usage_extraArgument "regions: unexpected argument: extra" -- \
    regions "$sample" extra
expect_usage_error usage_todayOnVersion "version: no such option: --today" -- \
    version "$sample" --today 2026-12-06
expect_usage_error usage_exactOnListing "listing: no such option: --exact" -- \
    listing "$sample" Kota --exact
expect_usage_error usage_unknownOption "unknown option: --colour" -- lookup "$sample" abc --colour
expect_usage_error usage_valueForFlag "--exact: takes no value" -- lookup "$sample" abc --exact=yes

# --- lookup: KEY as typed into the window --------------------------------------------------

budi="QV27ABC
Budi Santoso
Jl. Melati 7
Kab. Contoh
0412
31-01-2026
PERPANJANGAN
#00FF00"
expect lookup_suffix_printsSevenBoxesAndColour 0 "$budi" "" -- \
    lookup "$sample" ABC --today 2026-12-06
expect lookup_lowercaseSuffix_isUpperCasedAsTheWindowDoes 0 "$budi" "" -- \
    lookup "$sample" abc --today 2026-12-06
expect lookup_blanksAroundSuffix_areDropped 0 "$budi" "" -- \
    lookup "$sample" "  aBc " --today 2026-12-06
expect lookup_wholeCallsign_isNotPrefixedTwice 0 "$budi" "" -- \
    lookup "$sample" QV27ABC --today 2026-12-06
expect lookup_wholeCallsignInLowerCase_isFound 0 "$budi" "" -- \
    lookup "$sample" qv27abc --today 2026-12-06
expect lookup_optionsBeforeAndBetweenOperands 0 "$budi" "" -- \
    lookup --today 2026-12-06 "$sample" abc
expect lookup_todayWithEquals 0 "$budi" "" -- lookup "$sample" --today=2026-12-06 abc

# The README's example.
expect lookup_readmeExample_bgs 0 "QV27BGS
Wahyu Hidayat
Gg. Mawar III No. 15
Kab. Karangsari
0302
29-02-2028
INVALID
#FF0000" "" -- lookup "$sample" bgs

expect lookup_noStatus_printsEmptyStatusAndWhite 0 "QV27ACA
Agus Prasetyo
Jl. Diponegoro 45
Kota Wirasena
0101
06-12-2026

#FFFFFF" "" -- lookup "$sample" aca --today 2026-12-06
expect lookup_today_decidesTheStatus 0 "QV27ACA
Agus Prasetyo
Jl. Diponegoro 45
Kota Wirasena
0101
06-12-2026
INVALID
#FF0000" "" -- lookup "$sample" aca --today 2026-12-07

expect lookup_absent_printsNotFoundLineWithTheFullKey 1 "QV27XYZ tidak ditemukan!" "" -- \
    lookup "$sample" xyz
expect lookup_blanksOnly_searchesTheBarePrefix 1 "QV27 tidak ditemukan!" "" -- \
    lookup "$sample" "   "
expect lookup_afterDoubleDash_keyMayStartWithDash 1 "QV27-AB tidak ditemukan!" "" -- \
    lookup "$sample" -- -ab

# The window's rule for what is typed: a numeric text searches for nothing, and every letter
# is upper-cased as the search box does it, not only a-z.
printf 'QV27123#Angka#Jl#Kota#1#null#baru\r\nQV27\xc3\x89#Accent#Jl#Kota#2#null#baru\r\n' >"$work/window_rule.txt"
for key in 123 " 12 " -1.5; do
    run lookup "$work/window_rule.txt" -- "$key"
    [[ $code == 1 && -z $out && $err_lines == 1 && $err == *"is a number; the window searches for nothing"* ]] &&
        pass || fail "lookup_numericKey_searchesNothing ($key)" "exit $code" "stdout: $out" "stderr: $err"
done
run lookup "$work/window_rule.txt" ""
[[ $code == 1 && -z $out && $err_lines == 1 && $err == *"KEY is empty"* ]] && pass ||
    fail lookup_emptyKey_searchesNothing "exit $code" "stdout: $out" "stderr: $err"
# The search box holds three characters: a longer suffix is never searched for, even where a
# member has it.
printf 'QV27ABCD#Panjang#Jl#Kota#1#null#baru\r\n' >"$work/long_suffix.txt"
for key in abcd qv27abcd; do
    run lookup "$work/long_suffix.txt" "$key"
    [[ $code == 1 && -z $out && $err_lines == 1 &&
        $err == *"is longer than the 3 characters the search box holds after QV27"* ]] && pass ||
        fail "lookup_suffixLongerThanTheBox_searchesNothing ($key)" "exit $code" "stdout: $out" \
            "stderr: $err"
done
expect lookup_wholeNumericCallsign_isFound 0 "QV27123
Angka
Jl
Kota
1
-
BARU
#00FF00" "" -- lookup "$work/window_rule.txt" qv27123
for key in "é" "É" " é "; do
    run lookup "$work/window_rule.txt" "$key"
    [[ $code == 0 && $(sed -n 2p "$work/out") == Accent ]] && pass ||
        fail "lookup_nonAsciiSuffix_isUpperCasedAsTheWindowDoes ($key)" "exit $code" "$out" "$err"
done
expect lookup_exact_numericCallsignByteForByte 0 "QV27123
Angka
Jl
Kota
1
-
BARU
#00FF00" "" -- lookup --exact "$work/window_rule.txt" QV27123

expect lookup_exact_usesKeyByteForByte 1 "qv27abc tidak ditemukan!" "" -- \
    lookup --exact "$sample" qv27abc
expect lookup_exact_suffixAloneIsNotACallsign 1 "ABC tidak ditemukan!" "" -- \
    lookup "$sample" ABC --exact
expect lookup_exact_findsTheWholeCallsign 0 "$budi" "" -- \
    lookup "$sample" --exact QV27ABC --today 2026-12-06

printf 'QV27ABC#Ren\xe9#Jl#Kota#1#2020-01-01#\r\n' >"$work/ansi.txt"
expect lookup_windows1252Field_isPrintedAsUtf8 0 "QV27ABC
René
Jl
Kota
1
01-01-2020
INVALID
#FF0000" "" -- lookup "$work/ansi.txt" abc --today 2026-12-06

# --- a missing callbook: every subcommand ---------------------------------------------------

missing="Database tidak ditemukan!"
expect missing_lookup_exits2 2 "" "$missing" -- lookup "$work/none.txt" abc
expect missing_regions_exits2 2 "" "$missing" -- regions "$work/none.txt"
expect missing_listing_exits2 2 "" "$missing" -- listing "$work/none.txt" "Kota Dua"
expect missing_version_exits2 2 "" "$missing" -- version "$work/none.txt"
expect missing_check_exits2 2 "" "$missing" -- check "$work/none.txt"
mkdir "$work/log.txt"
expect missing_folderNamedLikeTheFile_isMissing 2 "" "$missing" -- lookup "$work/log.txt" abc

# --- regions ---------------------------------------------------------------------------------

printf 'versi: 1\r\nQV27A#a#b#Kota Satu#1#null#\r\nQV27B#a#b#Kota Dua#1#null#baru\r\nQV27C#a#b#KOTA SATU#1#null#' >"$work/regions.txt"
expect regions_leadingVersionLine_givesEmptyFirstEntry 0 "
Kota Satu
Kota Dua
KOTA SATU" "" -- regions "$work/regions.txt"
: >"$work/empty.txt"
run regions "$work/empty.txt"
[[ $code == 0 && $(wc -l <"$work/out") == 1 && -z $out ]] && pass ||
    fail regions_emptyFile_printsExactlyOneEmptyLine "exit $code" "$out"

# The list stops where the window's does, and says so; exactly the limit is no cut.
for ((i = 0; i < 10001; i++)); do
    printf 'QV27A#a#b#Kota %d#1#null#\n' "$i"
done >"$work/many_regions.txt"
run regions "$work/many_regions.txt"
[[ $code == 0 && $(wc -l <"$work/out") == 10000 && $(tail -n 1 "$work/out") == "Kota 9999" &&
    $err_lines == 1 && $err == *"regions: the list stops at 10000 regions, as the window's does;"* ]] &&
    pass || fail regions_pastTheLimit_saysSoOnStderr "exit $code" "$err_lines line(s): $err"
head -n 10000 "$work/many_regions.txt" >"$work/limit_regions.txt"
run regions "$work/limit_regions.txt"
[[ $code == 0 && $(wc -l <"$work/out") == 10000 && -z $err ]] && pass ||
    fail regions_exactlyTheLimit_isNoCut "exit $code" "$err"

# --- listing ---------------------------------------------------------------------------------

expect listing_rowsOfOneRegion 0 "QV27B | a | b | Kota Dua | 1 | - | BARU" "" -- \
    listing "$work/regions.txt" "Kota Dua"
expect listing_unknownRegion_exits1WithMessage 1 "" "Kota Tiga tidak ditemukan!" -- \
    listing "$work/regions.txt" "Kota Tiga"
expect listing_sample_rowsWithStatusFromToday 0 "QV27ACA | Agus Prasetyo | Jl. Diponegoro 45 | Kota Wirasena | 0101 | 06-12-2026
QV27ADI | Dewi Anggraini | Perum Griya Asri Blok C-4 | Kota Wirasena | 0102 | 05-12-2026 | INVALID
QV27AGS | Hendra Gunawan | Jl. Pahlawan 3 | Kota Wirasena | 0103 | 07-12-2026 | VALID
QV27AJK | Rina Wulandari | Jl. Sudirman 88 | Kota Wirasena | 0104 | -
QV27DAR | Ahmad Fauzi | Jl. Imam Bonjol 33 | Kota Wirasena | 0105 | 17-08-2027 | VALID
QV27DGM | Lestari Handayani | Jl. Anggrek 2 | Kota Wirasena | 0106 | - | SEUMUR HIDUP
QV27IRW | Bayu Pratama | Jl. Teuku Umar 41 | Kota Wirasena | 0107 | 15-03-2026 | INVALID
QV27JHN | Kartika Dewi | Jl. Jenderal Sudirman 120 | Kota Wirasena | 0108 | 31-12-2030 | SEUMUR HIDUP
QV27SWD | Susanto Widodo | Jl. Gatot Subroto 99 | Kota Wirasena | 0109 | 07-12-2026 | INVALID" "" -- \
    listing "$sample" "Kota Wirasena" --today 2026-12-06

# A region name copied from `regions` (always UTF-8) finds its members in a callbook saved
# in Windows-1252 as well as in one saved in UTF-8.
printf 'QV27AAA#Ani#Jl#Kab. P\xe9rak#1#null#baru\r\n' >"$work/region_1252.txt"
printf 'QV27AAA#Ani#Jl#Kab. P\xc3\xa9rak#1#null#baru\r\n' >"$work/region_utf8.txt"
for kind in 1252 utf8; do
    region=$("$tool" regions "$work/region_$kind.txt")
    expect "listing_regionCopiedFromRegions_findsMembers_$kind" 0 \
        "QV27AAA | Ani | Jl | Kab. Pérak | 1 | - | BARU" "" -- \
        listing "$work/region_$kind.txt" "$region"
done
expect listing_unknownUtf8Region_isNamedInUtf8 1 "" "Kab. Pérék tidak ditemukan!" -- \
    listing "$work/region_1252.txt" "Kab. Pérék"

# --- version ---------------------------------------------------------------------------------

expect version_lastVersionLine 0 "Database versi: 2026-12-01 08:00 WIB" "" -- version "$sample"
expect version_noVersionLine_printsNothing 0 "" "" -- version "$work/empty.txt"

# --- a callbook that cannot be read through -------------------------------------------------

# Reading /proc/self/mem from its start fails with an input/output error: no answer may be
# given from a file read only in part, and the error is named. (Linux only: under Wine the
# file is another.)
if [[ -r /proc/self/mem && -z ${KALVERA_WINE_EXE:-} ]]; then
    for subcommand in "lookup abc" regions "listing Kota" version check; do
        read -r -a words <<<"$subcommand"
        run "${words[0]}" /proc/self/mem "${words[@]:1}"
        [[ $code == 2 && -z $out && $err == *"/proc/self/mem: read error: "* ]] && pass ||
            fail "readError_${words[0]}_exits2NamingTheError" "exit $code" "stdout: $out" \
                "stderr: $err"
    done
fi

# --- files as editors save them -------------------------------------------------------------

printf 'versi: 1\rQV27ABC#Budi#Jl#Kota#1#null#baru\r' >"$work/mac.txt"
printf '\xff\xfe' >"$work/utf16.txt"
printf 'versi: 1\r\nQV27ABC#Ren\xc3\xa9#Jl#Kota#1#null#baru\r\n' | iconv -f UTF-8 -t UTF-16LE >>"$work/utf16.txt"
printf 'versi: 1\r\r\nQV27ABC#Budi#Jl#Kota#1#null#baru\r\r\n' >"$work/crcrlf.txt"
for kind in mac utf16 crcrlf; do
    run lookup "$work/$kind.txt" abc
    [[ $code == 0 && $(sed -n 7p "$work/out") == BARU ]] && pass ||
        fail "editorFormat_${kind}_memberFoundWithStatus" "exit $code" "$out"
done

# --- check ----------------------------------------------------------------------------------

printf 'Database versi: 2026-12-01 #3\r\nQV27ABC#a#b#Kota#1#null#baru\r\n' >"$work/version_hash.txt"
expect check_versionLineWithSeparatorAndBlanks_isNoMember 0 "" "" -- check "$work/version_hash.txt"
# FILE as given is the start of each finding; given relative here, so that it reads the same
# wherever the tool runs.
cd "$work"
cp "$sample" sample.txt
expect check_sampleCallbook_reportsItsDateWithoutLeadingZeros 1 "sample.txt:11: warning: valid-until date \"2027-3-7\" is not written yyyy-mm-dd; the window shows it as written, not as dd-mm-yyyy" "" -- check sample.txt
printf 'QV27abc#a#b#Kota#1#null#\r\nQV27ABD#a#b#KOTA#1#2025-02-30#perpanjang\r\nQV27ABD#a#b#Kota#1#null#\r\n' >"$work/check.txt"
expect check_findings_gnuFormat_exit1 1 "check.txt:1: error: callsign \"QV27abc\" has letters that the search box turns into capitals as they are typed; the window cannot find it
check.txt:2: warning: valid-until date \"2025-02-30\" is not a date (yyyy-mm-dd), null or 0000-00-00; the status may show nothing
check.txt:2: warning: status \"perpanjang\" is not seumur hidup, perpanjangan, baru or invalid; the date decides the status
check.txt:2: warning: region \"KOTA\" differs from \"Kota\" (line 1) only in letter case or blanks; the region list shows both
check.txt:3: error: callsign \"QV27ABD\" already stands on line 2; the window only shows that one
check.txt: warning: no version line (one that holds \"versi: \"); the window shows no version" "" -- check check.txt
run check --summary check.txt
[[ $code == 1 && $(wc -l <"$work/out") == 6 && $err == "1 error: unfindable-callsign
1 error: duplicate-callsign
1 warning: unreadable-date
1 warning: unknown-status
1 warning: region-spelling
1 warning: no-version-line" ]] && pass || fail check_summary_oneCountPerKindOnStderr "exit $code" "$err"
for kind in mac utf16 crcrlf; do
    run check "$kind.txt"
    [[ $code == 1 && $(wc -l <"$work/out") == 1 && $out == "$kind.txt: warning: "* ]] && pass ||
        fail "check_editorFormat_${kind}_isOneWholeFileWarning" "exit $code" "$out"
done
cd - >/dev/null

# --- output errors ---------------------------------------------------------------------------

# A full device: exit 74 and one line on standard error, for found, not-found and help output.
expect_full_device() {
    "$tool" "$@" >/dev/full 2>"$work/err"
    code=$?
    [[ $code == 74 && $(wc -l <"$work/err") == 1 ]] && grep -q 'cannot write' "$work/err" && pass ||
        fail "output_fullDevice_exits74WithMessage ($*)" "exit $code" "$(<"$work/err")"
}
expect_full_device lookup "$sample" abc
expect_full_device lookup "$sample" xyz
expect_full_device listing "$sample" "Kota Wirasena"
expect_full_device regions "$sample"
expect_full_device version "$sample"
expect_full_device check "$work/check.txt"
expect_full_device --help
expect_full_device --version

# A reader that stops early (head): the tool ends quietly, as other filters do, killed by
# SIGPIPE (exit status 141 in the shell); also when it inherited SIGPIPE ignored and so sees
# the write fail with EPIPE instead.
for ((i = 0; i < 20000; i++)); do
    printf 'QV27%05d#Nama Anggota#Jl. Panjang Sekali#Kota Besar#%d#null#baru\n' "$i" "$i"
done >"$work/big.txt"
for sigpipe in default ignored; do
    if [[ $sigpipe == ignored ]]; then
        first=$(trap '' PIPE; "$tool" listing "$work/big.txt" "Kota Besar" 2>"$work/err" | head -n 1; exit "${PIPESTATUS[0]}")
    else
        first=$("$tool" listing "$work/big.txt" "Kota Besar" 2>"$work/err" | head -n 1; exit "${PIPESTATUS[0]}")
    fi
    code=$?
    # Windows has no SIGPIPE: there the tool ends with 74, as quietly.
    want=141
    [[ -n ${KALVERA_WINE_EXE:-} ]] && want=74
    [[ $code == "$want" && ! -s $work/err && $first == "QV27"* ]] && pass ||
        fail "output_closedPipe_endsQuietly_sigpipe$sigpipe" "exit $code (want $want)" \
            "stderr: $(<"$work/err")" "first line: $first"
done

echo "$passes passed, $failures failed"
[[ $failures == 0 ]]
