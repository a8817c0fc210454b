#!/usr/bin/env bash
# run_under_wine.sh ARGS...
# Runs the Windows program $KALVERA_WINE_EXE under Wine ($KALVERA_WINE) with ARGS, so that a
# test written for the Linux program can run the Windows one in its place. An argument that is an
# absolute Unix path is handed over as the Windows path Wine maps it to (drive Z:).
set -u
args=()
for arg in "$@"; do
    [[ $arg == /* ]] && arg="Z:$arg"
    args+=("$arg")
done
exec "$KALVERA_WINE" "$KALVERA_WINE_EXE" "${args[@]}"
