# Cross-builds for Windows (cmake/mingw-w64.cmake): the tests run under Wine, in a Wine prefix of
# the build folder's own; GoogleTest is built from Debian's source with the same compilers.
# Included before any target.
if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
    return()
endif()

# wine64 itself rather than Debian's "wine" wrapper, which writes a warning about the missing
# 32-bit Wine to every program's standard error.
find_program(KALVERA_WINE NAMES wine64 wine HINTS /usr/lib/wine DOC "Wine, to run the tests")
set(KALVERA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine CACHE PATH "The tests' own Wine prefix")
# No Mono or Gecko installer prompts when Wine sets the prefix up. Wine hands QT_* variables
# on to Windows programs only under a WINE prefix, so the window tests' offscreen platform is
# asked for as WINEQT_QPA_PLATFORM.
set(KALVERA_WINE_ENVIRONMENT
    WINEPREFIX=${KALVERA_WINE_PREFIX}
    WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml=
    WINEQT_QPA_PLATFORM=offscreen)
if(KALVERA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${KALVERA_WINE_ENVIRONMENT} ${KALVERA_WINE})
else()
    message(WARNING "No wine64 found: the Windows tests cannot run (Debian: wine64)")
endif()

# GoogleTest for Windows, from Debian's googletest package (sources in /usr/src/googletest),
# installed once into the build folder.
set(kalvera_gtest_root ${CMAKE_BINARY_DIR}/googletest)
if(NOT EXISTS ${kalvera_gtest_root}/lib/cmake/GTest/GTestConfig.cmake)
    if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest's sources are missing (Debian: googletest)")
    endif()
    message(STATUS "Building GoogleTest for Windows from /usr/src/googletest")
    set(gtest_log ${kalvera_gtest_root}/build.log)
    file(MAKE_DIRECTORY ${kalvera_gtest_root})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S /usr/src/googletest -B ${kalvera_gtest_root}/build -G Ninja
                -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake
                -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF
                -DCMAKE_INSTALL_PREFIX=${kalvera_gtest_root}
        COMMAND_ERROR_IS_FATAL ANY OUTPUT_FILE ${gtest_log} ERROR_FILE ${gtest_log})
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${kalvera_gtest_root}/build --target install
        COMMAND_ERROR_IS_FATAL ANY OUTPUT_FILE ${gtest_log} ERROR_FILE ${gtest_log})
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${kalvera_gtest_root})
