#!/usr/bin/env bash
# End-to-end runs of kalvera-callbook: what only the tool shows. Its arguments, help, exit
# codes and output format, and each subcommand wired to its query; the answers' own rules are
# the queries' tests. The runs are written as a transcript (the command, standard output,
# standard error marked "!", the exit status) that must equal golden/kalvera_callbook.txt.
# After a deliberate change, regenerate it with KALVERA_UPDATE_GOLDEN=1 set and read the diff.
#
#   kalvera_callbook_test.sh TOOL SAMPLE_CALLBOOK PROJECT_VERSION
set -u
tool=$(realpath "$1")
version=$3
golden=$(cd "$(dirname "$0")" && pwd)/golden/kalvera_callbook.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$2" log.txt
fail() {
    echo "FAIL $*"
    exit 1
}

# Runs the tool and writes what it did to the transcript: a long output as its first lines
# and its last, a long line as its start and length.
run() {
    echo "\$ kalvera-callbook $*"
    "$tool" "$@" >out 2>err
    local code=$?
    if [[ ${usage:-} && $(<out) == "$usage" ]]; then
        echo "[the usage]"
    elif [[ $(wc -l <out) -gt 100 ]]; then
        head -n 2 out
        echo "[... $(wc -l <out) lines in all; the last:]"
        tail -n 1 out
    else
        sed "s/^kalvera-callbook $version\$/kalvera-callbook [version]/" out
    fi | LC_ALL=C awk '{ print (length($0) > 200 ? substr($0, 1, 20) "[... " length($0) " bytes]" : $0) }'
    sed 's/^/! /' err
    echo "exit $code"
}

printf 'versi: 1\r\nQV27A#a#Jl#Kota Satu#1#null#\r\nQV27B#a#Jl#Kota Dua#1#null#baru\r\n' >regions.txt
printf 'QV27C#a#Jl#KOTA SATU#1#null#\r\n' >>regions.txt
printf 'QV27123#Angka#Jl#Kota#1#null#baru\r\n' >window_rule.txt
printf 'QV27ABC#Ren\xe9#Jl#Kab. P\xe9rak#1#2020-01-01#\r\n' >ansi.txt
printf 'QV27ABC#Budi#Jl#Kab. P\xc3\xa9rak#1#null#baru\r\n' >utf8.txt
printf 'Database versi: 2 #3\r\nQV27ABC#a#Jl#Kota#1#null#baru\r\n' >version_hash.txt
printf 'QV27abc#a#b#Kota#1#null#\r\nQV27ABD#a#b#KOTA#1#2025-02-30#perpanjang\r\n' >check.txt
printf 'QV27ABD#a#b#Kota#1#null#\r\n' >>check.txt
printf 'versi: 1\rQV27ABC#a#Jl#Kota#1#null#baru\r' >mac.txt
printf '\xff\xfev\0e\0r\0s\0i\0:\0 \0001\0' >utf16.txt
printf 'versi: 1\r\r\nQV27ABC#a#Jl#Kota#1#null#baru\r\r\n' >crcrlf.txt
# Every kind of finding a line can have (check.txt has the rest), and each reason a callsign
# cannot be found.
printf 'versi: 1\nQV27ABC#a#Jl#Kota 1#1#2027-3-7#x\n\xef\xbb\xbfQV27ABD#a\nCatatan #2\n \t\n%s\n' \
    'QV27ABE#a#Jl#Kota#1#1#' >kinds.txt
printf 'QV27AB\0#a\nQV27ABF#a#b#c#1#null#baru versi: 2\nQV27ABG#a#b#c#1#2026-01-31\r#\xef\xbb\xbfb\x1b[2J\xe2\x80\xa8\xc2\x85\n' >>kinds.txt
printf '%s#a#b#c#1#null#\n' QV27ABH#x ' QV27ABI' QV28ABC $'QV27\xc9' QV27ABCD QV2712 >>kinds.txt
head -c 70000 /dev/zero | tr '\0' x >>kinds.txt
for ((i = 0; i < 10001; i++)); do printf 'QV27A#a#b#Kota %d#1#null#\n' "$i"; done >many.txt
head -n 10000 many.txt >limit.txt
wide=$(head -c 65000 /dev/zero | tr '\0' r)
for ((i = 0; i < 20; i++)); do printf 'QV27A#a#b#%s%d#1#null#\n' "$wide" "$i"; done >wide.txt
sed 's/Kota [0-9]*/Kota Besar/' many.txt >big.txt
: >empty.txt

{
    run --help
    usage=$(<out)
    # Help anywhere, the version, and what is wrong with wrong arguments.
    for args in -h "lookup --help" "lookup -h" "listing log.txt Kota -h" "regions --help log.txt" \
        "version log.txt -h" "LOOKUP --help" "lookup --today besok --help" "--help lookup" \
        --version "lookup --version" "" "LOOKUP log.txt abc" "lookup log.txt abc --today 2026-13-01" \
        "listing log.txt Kota --today=besok" "lookup log.txt abc --today 2026-2-3" \
        "lookup log.txt abc --today" "lookup log.txt abc --today 2026-01-01 --today 2026-01-02" \
        "lookup log.txt" listing "listing log.txt" "regions log.txt extra" \
        "version log.txt --today 2026-12-06" "listing log.txt Kota --exact" \
        "lookup log.txt abc --colour" "lookup log.txt abc --exact=yes"; do
        run $args
    done
    run lookup log.txt "  aBc " --today 2026-12-06
    run lookup log.txt "" --today 2026-12-06
    for args in "lookup --today 2026-12-06 log.txt ACA" "lookup log.txt --today=2026-12-07 aca" \
        "lookup log.txt bgs" "lookup log.txt xyz" "lookup log.txt -- -ab" "lookup window_rule.txt 12" \
        "lookup window_rule.txt abcd" "lookup window_rule.txt qv27123" "lookup --exact log.txt qv27abc" \
        "lookup --exact window_rule.txt QV27123" "lookup ansi.txt abc --today 2026-12-06" \
        "lookup none.txt abc" "regions none.txt" "listing none.txt Kota" "version none.txt" \
        "check none.txt" "regions regions.txt" "regions empty.txt" "regions many.txt" \
        "regions limit.txt" "regions wide.txt" "listing regions.txt Kota" \
        "listing window_rule.txt Kota" "version log.txt" "version empty.txt" \
        "check version_hash.txt" "check log.txt" "check check.txt" "check --summary check.txt" \
        "check kinds.txt" "check mac.txt" "check utf16.txt" "check crcrlf.txt"; do
        run $args
    done
    run listing regions.txt "Kota Dua"
    run listing log.txt "Kota Wirasena" --today 2026-12-06
    run listing ansi.txt "Kab. Pérak" --today 2026-12-06
    run listing utf8.txt "$("$tool" regions utf8.txt)"
    run listing ansi.txt "Kab. Pérék"
} >transcript 2>&1
if [[ -n ${KALVERA_UPDATE_GOLDEN:-} && -z ${KALVERA_WINE_EXE:-} ]]; then
    cp transcript "$golden"
fi
diff -u "$golden" transcript || fail "the transcript differs from $golden"

# Reading /proc/self/mem fails with an input/output error: no answer from a file read in part.
# (Linux only: under Wine the file is another.)
if [[ -r /proc/self/mem && -z ${KALVERA_WINE_EXE:-} ]]; then
    for args in "lookup @ abc" "regions @" "listing @ Kota" "version @" "check @"; do
        "$tool" ${args/@//proc/self/mem} >out 2>err
        [[ $? == 2 && ! -s out && $(<err) == *"/proc/self/mem: read error: "* ]] ||
            fail "read error: $args: $(<err)"
    done
fi
# A full device: exit 74 and one line on standard error, for every kind of output.
for args in "lookup log.txt abc" "lookup log.txt xyz" \
    "listing window_rule.txt Kota" "regions log.txt" "version log.txt" "check check.txt" --help --version; do
    "$tool" $args >/dev/full 2>err
    [[ $? == 74 && $(wc -l <err) == 1 && $(<err) == *"cannot write"* ]] || fail "full device: $args"
done
# A reader that stops early (head): the tool ends quietly, killed by SIGPIPE (141 in the shell)
# as other filters are, also when it inherited SIGPIPE ignored and so sees EPIPE. Windows has
# no SIGPIPE: there it ends with 74, as quietly.
want=141
[[ -n ${KALVERA_WINE_EXE:-} ]] && want=74
for trap in "" "trap '' PIPE"; do
    first=$(eval "$trap"; "$tool" listing big.txt "Kota Besar" 2>err | head -n 1; exit "${PIPESTATUS[0]}")
    [[ $? == "$want" && ! -s err && $first == "QV27A | "* ]] || fail "closed pipe ($trap): $(<err)"
done
