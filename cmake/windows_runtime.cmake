# What the Windows executables need beside them, for the install rules (cmake/install.cmake) and
# for the build's own bin/ folder, which the tests run from.
#
# Qt: the four modules and only the plugins the window uses: the Windows platform, JPEG (the
# banner and the logo are JPEG files and vanish silently without it) and the native style. The
# icon images are PNG, which Qt reads without a plugin.
# MinGW: the Qt DLLs are linked against libstdc++, libgcc and winpthread as DLLs, so those ship
# too and Kalvera.exe shares them. kalvera-callbook.exe links its runtime statically and runs
# alone, wherever it is copied.

set(kalvera_mingw_runtime "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    get_filename_component(path "${path}" REALPATH)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "The MinGW runtime ${dll} is missing")
    endif()
    # Debian's DLLs carry debugging information and symbols: libstdc++ is 23 MB with them.
    set(stripped ${CMAKE_BINARY_DIR}/mingw-runtime/${dll})
    if(NOT EXISTS ${stripped} OR ${path} IS_NEWER_THAN ${stripped})
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/mingw-runtime)
        execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path}
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND kalvera_mingw_runtime ${stripped})
endforeach()

target_link_options(kalvera-callbook PRIVATE -static)

set(runtime_commands
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${kalvera_mingw_runtime}
            ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

if(TARGET Kalvera)
    set(qt_dlls "")
    foreach(module Core Gui Widgets)
        list(APPEND qt_dlls $<TARGET_FILE:Qt6::${module}>)
    endforeach()
    install(FILES ${kalvera_mingw_runtime} ${qt_dlls} DESTINATION ${kalvera_folder})
    # Qt Test and Qt Network (the tests' own servers) are for the tests only.
    list(APPEND runtime_commands
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_dlls} $<TARGET_FILE:Qt6::Test>
                $<TARGET_FILE:Qt6::Network> ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

    # Pairs of plugin and the folder it must lie in, beside the executable. The window tests
    # also need the offscreen platform, and the download tests' own https server Qt's TLS
    # backend; both stay out of the package.
    set(qt_plugins
        QWindowsIntegrationPlugin platforms
        QJpegPlugin imageformats
        QWindowsVistaStylePlugin styles
        QOffscreenIntegrationPlugin platforms
        QSchannelBackendPlugin tls)
    set(test_plugins QOffscreenIntegrationPlugin QSchannelBackendPlugin)
    while(qt_plugins)
        list(POP_FRONT qt_plugins plugin folder)
        set(file $<TARGET_FILE:Qt6::${plugin}>)
        if(NOT plugin IN_LIST test_plugins)
            install(FILES ${file} DESTINATION ${kalvera_folder}/${folder})
        endif()
        list(APPEND runtime_commands
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file}
                    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder})
    endwhile()

    # Notepad before Windows 10 shows LF-only text as one line.
    file(READ ${PROJECT_SOURCE_DIR}/BACA-SAYA.txt readme)
    string(REPLACE "\r\n" "\n" readme "${readme}")
    string(REPLACE "\n" "\r\n" readme "${readme}")
    file(WRITE ${CMAKE_BINARY_DIR}/BACA-SAYA.txt "${readme}")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/BACA-SAYA.txt)
    install(FILES ${CMAKE_BINARY_DIR}/BACA-SAYA.txt DESTINATION ${kalvera_folder})
endif()

add_custom_target(windows_runtime ALL ${runtime_commands}
    COMMENT "Placing the runtime DLLs and Qt plugins beside the executables")
