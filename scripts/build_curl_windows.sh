#!/usr/bin/env bash
# build_curl_windows.sh [--print-prefix]
#
# Makes libcurl for 64-bit Windows available to the cross-build, in a prefix outside the source
# tree: $KALVERA_CURL_WINDOWS, by default ~/.cache/kalvera/curl-windows. Built from Debian's own
# curl source package (scripts/fetch_debian_source.sh, Debian's patches applied) with MinGW-w64,
# as a static library that speaks HTTP and HTTPS and nothing else. TLS is Windows' own
# (Schannel), which checks certificates against the Windows certificate store: no OpenSSL and
# no CA bundle ship. About two minutes on two cores; the work folder is
# ~/.cache/kalvera/curl-build ($KALVERA_CURL_WINDOWS_WORK): Debian's source, kept to tell the
# stamp, and the log curl-build.log; the build folder there is removed once libcurl is installed.
#
# A prefix that carries the stamp of this very configuration is used as it is. A prefix folder
# is deleted and made again only when it holds this script's stamp (or is empty); any other
# folder is left alone and the script stops.
#
# --print-prefix prints the prefix and exits.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
prefix="${KALVERA_CURL_WINDOWS:-$HOME/.cache/kalvera/curl-windows}"
work="${KALVERA_CURL_WINDOWS_WORK:-$HOME/.cache/kalvera/curl-build}"

options=(
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF
    -DHTTP_ONLY=ON -DCURL_ENABLE_SSL=ON -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DCURL_USE_LIBPSL=OFF -DCURL_USE_LIBSSH2=OFF
    -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCMAKE_DISABLE_FIND_PACKAGE_ZLIB=ON
    -DENABLE_THREADED_RESOLVER=ON -DENABLE_UNICODE=ON -DCURL_DISABLE_COOKIES=ON
    -DCURL_DISABLE_NETRC=ON -DCURL_DISABLE_ALTSVC=ON -DCURL_DISABLE_HSTS=ON
    -DCMAKE_BUILD_TYPE=Release
)
stamp_file="$prefix/kalvera-curl-stamp.txt"

case ${1:-} in
    --print-prefix)
        echo "$prefix"
        exit 0
        ;;
    "") ;;
    *)
        echo "usage: $0 [--print-prefix]" >&2
        exit 64
        ;;
esac

mkdir -p "$work"
log="$work/curl-build.log"
: >"$log"
trap 'tail -n 30 "$log" >&2; echo "libcurl for Windows: failed (log: $log)" >&2' ERR

"$here/ensure_packages.sh" --log "$log" dpkg-dev cmake ninja-build \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    mingw-w64-x86-64-dev
"$here/fetch_debian_source.sh" --log "$log" curl "$work"
source="$(compgen -G "$work/curl-*/CMakeLists.txt" | head -n 1)"
source="$(dirname "$source")"
stamp="libcurl $(basename "$source") for x86_64-w64-mingw32, static
cmake ${options[*]}"

if [[ -f $stamp_file && $(cat "$stamp_file") == "$stamp" ]]; then
    echo "  libcurl for Windows is ready in $prefix"
    exit 0
fi
if [[ -e $prefix && ! -f $stamp_file && -n $(ls -A "$prefix" 2>/dev/null) ]]; then
    echo "$prefix holds something this script did not make; not touching it." >&2
    echo "Empty it, or name another folder in KALVERA_CURL_WINDOWS." >&2
    exit 1
fi

echo "  building libcurl ($(basename "$source")) for Windows (log: $log)"
started=$SECONDS
build="$work/build"
rm -rf "$build"
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >>"$log" 2>&1
cmake --build "$build" -j "${KALVERA_JOBS:-$(nproc)}" >>"$log" 2>&1
rm -rf "$prefix"
cmake --install "$build" >>"$log" 2>&1
printf '%s\n' "$stamp" >"$stamp_file"
rm -rf "$build"
echo "  libcurl for Windows built in $((SECONDS - started)) s"
