#!/usr/bin/env bash
# console_test.sh WINDOWS_TOOL
# kalvera-callbook.exe writing to a console (cmd.exe's window) shows accented names as they are,
# "Dédé", not as the console's code page 437 reads UTF-8 ("D├⌐d├⌐"); and the console has its
# code page back afterwards. The console is Wine's, on a terminal that `script` provides; its
# screen, escape sequences removed (a step right is a blank), is compared. Needs $KALVERA_WINE and a started Wine.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$tool" "$work/kalvera-callbook.exe"
printf 'QV27DED#D\xc3\xa9d\xc3\xa9 Martin#Jl. Mawar 3#Kota Ba\xc3\xb1uwangi#0778#null#seumur hidup\r\n' \
    >"$work/dunia.txt"
cd "$work" || exit 1
command="$KALVERA_WINE cmd /c \"chcp & kalvera-callbook.exe lookup dunia.txt ded & chcp\""
LC_ALL=C.UTF-8 script -qec "$command" /dev/null </dev/null |
    sed -e 's/\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' >"$work/screen.txt"
failures=0
expect() {
    if grep -qF -- "$1" "$work/screen.txt"; then
        echo "ok    $2"
    else
        echo "FAIL  $2"
        failures=$((failures + 1))
    fi
}
expect "Dédé Martin" "the name shows with its accents"
expect "Kota Bañuwangi" "the region shows with its tilde"
if [[ $(grep -c "Active code page: 437" "$work/screen.txt") == 2 ]]; then
    echo "ok    the console keeps code page 437 before and after"
else
    echo "FAIL  the console's code page changed"
    failures=$((failures + 1))
fi
if ((failures)); then
    sed 's/^/    screen: /' "$work/screen.txt"
fi
echo "$((3 - failures)) passed, $failures failed"
((failures == 0))
