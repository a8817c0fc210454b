# Cross-building for 64-bit Windows with Debian's MinGW-w64, posix thread model (std::thread and
# std::mutex need it; the win32 model lacks them).
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQT_WINDOWS_PREFIX=<Qt for Windows> -DCURL_WINDOWS_PREFIX=<libcurl for Windows> \
#         -DQT_HOST_PATH=/usr
#
# QT_WINDOWS_PREFIX is the folder scripts/build_qt_windows.sh fills (or unpacks); without it only
# the Qt-free part can be configured (-DKALVERA_WITH_QT=OFF). moc, rcc and uic are the host's
# (Debian's qt6-base-dev-tools), found through QT_HOST_PATH. The same file serves to build Qt
# for Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
# Absolute paths: CMake would otherwise look for "ar" beside the compiler wrapper and take the
# host's.
set(CMAKE_AR /usr/bin/${mingw_triplet}-ar)
set(CMAKE_RANLIB /usr/bin/${mingw_triplet}-ranlib)
set(CMAKE_STRIP /usr/bin/${mingw_triplet}-strip)

# Try-compile projects read this file again; they must see the same Qt and libcurl folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QT_WINDOWS_PREFIX CURL_WINDOWS_PREFIX)

# Target headers, libraries and CMake packages come from MinGW's own root, Qt for Windows and
# libcurl for Windows (scripts/build_curl_windows.sh, CURL_WINDOWS_PREFIX), never from the
# host. Programs (moc, windres, wine) are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet} ${QT_WINDOWS_PREFIX} ${CURL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
