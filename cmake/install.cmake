# Kalvera is used from one portable folder, Kalvera/, that holds the program and the tool and
# into which the program writes the callbook it downloads (log.txt beside the executable). So
# `cmake --install` and CPack lay out exactly that folder, under the install prefix, which is
# build/install unless one is given: never a system folder the program could not write to.
#
#   Linux:   Kalvera, kalvera-callbook, kalvera.desktop, share/icons/hicolor/<size>/apps/kalvera.png
#            (CPack: a .tar.gz)
#   Windows: Kalvera.exe, kalvera-callbook.exe, the Qt DLLs and plugins the program uses, the
#            MinGW runtime DLLs, BACA-SAYA.txt (CPack: Kalvera-<version>-win64.zip)
#
# No log.txt: members download the chapter's callbook with Menu -> Unduh Database.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/install CACHE PATH
        "Where the portable folder Kalvera/ is installed" FORCE)
endif()
set(kalvera_folder Kalvera)

install(TARGETS kalvera-callbook RUNTIME DESTINATION ${kalvera_folder})
if(TARGET Kalvera)
    install(TARGETS Kalvera RUNTIME DESTINATION ${kalvera_folder})
endif()

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windows_runtime.cmake)
else()
    # The desktop entry starts the program from the folder it lies in (%k is its own path), so
    # the folder works wherever it was unpacked; the icon is found by name once the folder's
    # share/ is among the icon theme's places (or the icons are copied to ~/.local/share/icons).
    install(FILES ${PROJECT_SOURCE_DIR}/resources/kalvera.desktop DESTINATION ${kalvera_folder})
    foreach(size 16 24 32 48)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icon_${size}.png
            DESTINATION ${kalvera_folder}/share/icons/hicolor/${size}x${size}/apps
            RENAME kalvera.png)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME Kalvera)
set(CPACK_PACKAGE_VENDOR "KORA Wirasena")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Callbook KORA Wirasena")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# The archive holds the folder Kalvera/ itself, not a folder named after the archive.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Kalvera-${PROJECT_VERSION}-win64)
else()
    set(CPACK_GENERATOR TGZ)
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" kalvera_system)
    set(CPACK_PACKAGE_FILE_NAME Kalvera-${PROJECT_VERSION}-${kalvera_system})
endif()
include(CPack)
