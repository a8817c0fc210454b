#!/usr/bin/env bash
# console_test.sh WINDOWS_TOOL
# kalvera-callbook.exe writing to a console (cmd.exe's window) shows accented names as they are,
# "Dédé", not as the console's code page 437 reads UTF-8 ("D├⌐d├⌐"); and the console has its
# code page back afterwards. The console is Wine's, on a terminal that `script` provides; its
# screen, escape sequences removed (a step right is a blank), is compared. Needs $KALVERA_WINE
# and a Wine session.
set -u
source "$(dirname "$0")/../support/checks.sh"
cp "$1" "$work/kalvera-callbook.exe"
printf 'QV27DED#D\xc3\xa9d\xc3\xa9 Martin#Jl. Mawar 3#Kota Ba\xc3\xb1uwangi#0778#null#seumur hidup\r\n' \
    >"$work/dunia.txt"
cd "$work" || exit 1
command="$KALVERA_WINE cmd /c \"chcp & kalvera-callbook.exe lookup dunia.txt ded & chcp\""
screen=$(LC_ALL=C.UTF-8 script -qec "$command" /dev/null </dev/null |
    sed -e 's/\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g')
[[ $screen == *"Dédé Martin"* && $screen == *"Kota Bañuwangi"* ]] && pass ||
    fail accentedNames_showAsTheyAre "$screen"
[[ $(grep -c "Active code page: 437" <<<"$screen") == 2 ]] && pass ||
    fail codePage_isTheSameBeforeAndAfter "$screen"
finish
