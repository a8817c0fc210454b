#!/usr/bin/env bash
# same_output_test.sh LINUX_TOOL WINDOWS_TOOL SAMPLE_CALLBOOK
# kalvera-callbook.exe under Wine answers byte for byte as the Linux kalvera-callbook does, on
# the same callbooks: standard output (UTF-8 with LF line ends on both), standard error and exit
# code. The Windows tool is run from a copy in a folder whose name holds accented and Cyrillic
# letters, with that folder as its working folder, and is given non-ASCII arguments. Last, a
# log.txt marked hidden or system with Windows' own attrib counts as missing, and a read-only
# one does not. Needs $KALVERA_WINE and a Wine session (scripts/wine_session.sh).
set -u
linux_tool=$1
windows_tool=$2
sample=$3
source "$(dirname "$0")/../support/checks.sh"

folder="$work/Dédé Пример/Kalvera"
mkdir -p "$folder"
cp "$windows_tool" "$folder/kalvera-callbook.exe"
cp "$sample" "$folder/log.txt"
# Names and regions in UTF-8 (Cyrillic, accents) and one line in Windows-1252.
printf '%s\r\n' 'versi: 2026-11-30 Édition' \
    'QV27RUS#Иван Петров#ул. Лесная 1#Город Пример#0777#2099-12-31#baru' \
    'QV27ÉДЖ#Suffix#Jl. Huruf#Kota Bañuwangi#0781#2099-12-31#' >"$folder/dunia.txt"
printf 'QV27ANS#Ren\xe9#Jl. Kamboja#Kota Ba\xf1uwangi#0780#2099-12-31#perpanjangan\r\n' \
    >>"$folder/dunia.txt"

# same NAME ARGS...: runs both tools in the folder and compares what they wrote and returned.
# An argument "@/NAME" is the file NAME in the folder by its absolute path: the Unix path for
# Linux, the Windows one (drive Z:) for Windows. LINUX_ARGS, when set, replaces ARGS on Linux.
same() {
    local name=$1
    shift
    local linux_args=("${@/#@\//$folder/}") windows_args=("${@/#@\//Z:$folder/}")
    [[ -n ${LINUX_ARGS:-} ]] && read -ra linux_args <<<"$LINUX_ARGS"
    (cd "$folder" && "$linux_tool" "${linux_args[@]}" >"$work/linux.out" 2>"$work/linux.err")
    local linux_code=$?
    (cd "$folder" && "$KALVERA_WINE" "$folder/kalvera-callbook.exe" "${windows_args[@]}" \
        >"$work/windows.out" 2>"$work/windows.err")
    local windows_code=$?
    if [[ $linux_code != "$windows_code" ]] || ! cmp -s "$work/linux.out" "$work/windows.out" ||
        ! cmp -s "$work/linux.err" "$work/windows.err"; then
        fail "$name" "exit $windows_code on Windows, $linux_code on Linux" \
            "$(diff <(od -c "$work/linux.out") <(od -c "$work/windows.out") | head -n 20)" \
            "$(diff "$work/linux.err" "$work/windows.err")"
    else
        pass
    fi
}

# What the tool's own test, run under Wine too, already compares with its transcript is left
# out: here only non-ASCII names, arguments and folders, and Windows' file attributes.
today=(--today 2026-12-06)
same lookup_cyrillicMember lookup dunia.txt QV27RUS "${today[@]}"
same lookup_windows1252Line lookup dunia.txt QV27ANS "${today[@]}"
same lookup_nonAsciiSuffixUpperCased lookup dunia.txt " éдж " "${today[@]}"
same lookup_absolutePathThroughNonAsciiFolders lookup @/log.txt QV27ABD "${today[@]}"
same regions_nonAscii regions dunia.txt
same listing_cyrillicRegion listing dunia.txt "Город Пример" "${today[@]}"
same version_nonAscii version dunia.txt
same missingFile_nonAsciiName version "Базa.txt"

# marked NAME ATTRIB_ARGS LINUX_FILE: log.txt marked so reads as LINUX_FILE does on Linux.
marked() {
    (cd "$folder" && "$KALVERA_WINE" cmd /c attrib "${@:2:$#-2}" log.txt >/dev/null 2>&1)
    LINUX_ARGS="lookup ${!#} QV27ABC ${today[*]}" same "$1" lookup log.txt QV27ABC "${today[@]}"
}
marked hiddenFile_isMissing +h tidak-ada.txt
marked systemFile_isMissing -h +s tidak-ada.txt
marked hiddenSystemFile_isMissing +h +s tidak-ada.txt
marked readOnlyFile_isFound -h -s +r log.txt

finish
