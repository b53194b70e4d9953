# The Windows side of the build: the program as a GUI executable with its icon resource, the
# self-contained deploy folder and the per-user NSIS installer, and, when cross-compiling, the
# tests run under Wine. Included before the targets exist; the part that needs them is deferred
# to the end of the top-level directory.
enable_language(RC)

# A Windows program folder is flat: the executables sit beside their DLLs.
set(CMAKE_INSTALL_BINDIR .)

get_filename_component(LUMIVANE_QT_PREFIX "${Qt5_DIR}/../../.." ABSOLUTE)

# Directories holding the DLLs the programs load: Qt's, and the MinGW runtime the compiler links.
set(LUMIVANE_WINDOWS_DLL_DIRS "${LUMIVANE_QT_PREFIX}/bin")
foreach(runtime_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_dll}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${runtime_dll} is")
    endif()
    get_filename_component(runtime_dir "${runtime_path}" DIRECTORY)
    get_filename_component(runtime_dir "${runtime_dir}" REALPATH)
    list(APPEND LUMIVANE_WINDOWS_DLL_DIRS "${runtime_dir}")
endforeach()
list(REMOVE_DUPLICATES LUMIVANE_WINDOWS_DLL_DIRS)

# Paths that a Windows program is given name the host's files through drive Z: under Wine.
set(LUMIVANE_HOST_DRIVE "")
if(CMAKE_CROSSCOMPILING)
    set(LUMIVANE_HOST_DRIVE "Z:")
    # Every test executable runs under Wine, which finds the DLLs through WINEPATH (drive Z: is
    # the host's root); Qt finds its plugins relative to Qt5Core.dll.
    set(LUMIVANE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    set(LUMIVANE_WINEPATH "")
    foreach(dir IN LISTS LUMIVANE_WINDOWS_DLL_DIRS)
        string(REPLACE "/" "\\" dir "Z:${dir}")
        string(APPEND LUMIVANE_WINEPATH "${dir};")
    endforeach()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# Who publishes the program, as its version resources and its entry among installed programs say.
set(LUMIVANE_PUBLISHER Lumivane)
string(SUBSTRING ${LUMIVANE_RELEASE_DATE} 0 4 LUMIVANE_RELEASE_YEAR)
set(LUMIVANE_COPYRIGHT "Copyright (C) ${LUMIVANE_RELEASE_YEAR} ${LUMIVANE_PUBLISHER}")

# What the installer target makes, known here so that the tests can name it.
find_program(LUMIVANE_MAKENSIS makensis)
set(LUMIVANE_DEPLOY_DIR ${CMAKE_BINARY_DIR}/Lumivane)
set(LUMIVANE_SETUP ${CMAKE_BINARY_DIR}/Lumivane-${PROJECT_VERSION}-setup.exe)
set(LUMIVANE_ZIP ${CMAKE_BINARY_DIR}/Lumivane-${PROJECT_VERSION}-win64.zip)

function(lumivane_windows_targets)
    set(windows_dir ${CMAKE_SOURCE_DIR}/cmake/windows)

    # Each program's resources: its icon, its manifest and its version.
    set(LUMIVANE_RC_PROGRAM lumivane)
    set(LUMIVANE_RC_DESCRIPTION "${PROJECT_DESCRIPTION}")
    configure_file(${windows_dir}/program.rc.in ${CMAKE_BINARY_DIR}/lumivane.rc @ONLY)
    target_sources(lumivane PRIVATE ${CMAKE_BINARY_DIR}/lumivane.rc)
    if(TARGET lumivane-send)
        set(LUMIVANE_RC_PROGRAM lumivane-send)
        set(LUMIVANE_RC_DESCRIPTION "Sends a mode report to the Lumivane overlay")
        configure_file(${windows_dir}/program.rc.in ${CMAKE_BINARY_DIR}/lumivane-send.rc @ONLY)
        target_sources(lumivane-send PRIVATE ${CMAKE_BINARY_DIR}/lumivane-send.rc)
    endif()
    set_source_files_properties(${CMAKE_BINARY_DIR}/lumivane.rc ${CMAKE_BINARY_DIR}/lumivane-send.rc PROPERTIES
        OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/lumivane.ico;${windows_dir}/program.manifest")

    # The deploy folder: the programs, the Qt plugins they load, and every DLL they and the
    # plugins import that Windows itself does not provide. No image-format plugin: every image
    # the program decodes is a PNG, which Qt5Gui reads itself.
    set(programs lumivane)
    if(TARGET lumivane-send)
        list(APPEND programs lumivane-send)
    endif()
    set(program_files "")
    foreach(program IN LISTS programs)
        list(APPEND program_files "$<TARGET_FILE:${program}>")
    endforeach()
    install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin> DESTINATION platforms)
    install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin> DESTINATION styles)
    set(plugin_files "$<TARGET_FILE:Qt5::QWindowsIntegrationPlugin>;$<TARGET_FILE:Qt5::QWindowsVistaStylePlugin>")
    install(CODE "
        set(LUMIVANE_DEPLOY_PROGRAMS \"${program_files}\")
        set(LUMIVANE_DEPLOY_PLUGINS \"${plugin_files}\")
        set(LUMIVANE_DEPLOY_DLL_DIRS \"${LUMIVANE_WINDOWS_DLL_DIRS}\")
        set(LUMIVANE_DEPLOY_OBJDUMP \"${CMAKE_OBJDUMP}\")")
    install(SCRIPT ${windows_dir}/DeployRuntime.cmake)

    # Licence texts that must travel with the DLLs.
    install(FILES ${LUMIVANE_QT_PREFIX}/LICENSE.LGPL3 ${LUMIVANE_QT_PREFIX}/LICENSE.GPL3
                  ${LUMIVANE_QT_PREFIX}/LICENSE.GPL2
            DESTINATION licenses/Qt)
    install(FILES ${windows_dir}/THIRD-PARTY.txt DESTINATION licenses)
    foreach(package gcc-mingw-w64-base mingw-w64-common)
        if(EXISTS /usr/share/doc/${package}/copyright)
            install(FILES /usr/share/doc/${package}/copyright DESTINATION licenses/MinGW-w64
                    RENAME ${package}.txt)
        endif()
    endforeach()

    if(NOT LUMIVANE_MAKENSIS)
        message(STATUS "makensis not found: no installer target")
        return()
    endif()
    set(LUMIVANE_ICON "${CMAKE_SOURCE_DIR}/resources/lumivane.ico")
    configure_file(${windows_dir}/installer.nsi.in ${CMAKE_BINARY_DIR}/installer.nsi @ONLY)
    # Remade only when a program, the install rules or the installer script change.
    add_custom_command(OUTPUT ${LUMIVANE_SETUP} ${LUMIVANE_ZIP}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${LUMIVANE_DEPLOY_DIR}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${LUMIVANE_DEPLOY_DIR}
        COMMAND ${CMAKE_COMMAND} -DLUMIVANE_DEPLOY_DIR=${LUMIVANE_DEPLOY_DIR}
                -DLUMIVANE_FILE_LISTS=${CMAKE_BINARY_DIR}/installer-files -P ${windows_dir}/InstallerFiles.cmake
        COMMAND ${CMAKE_COMMAND} -E rm -f ${LUMIVANE_ZIP}
        COMMAND ${CMAKE_COMMAND} -E tar cf ${LUMIVANE_ZIP} --format=zip Lumivane
        COMMAND ${LUMIVANE_MAKENSIS} -V2 -NOCD ${CMAKE_BINARY_DIR}/installer.nsi
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        DEPENDS ${programs} ${CMAKE_BINARY_DIR}/installer.nsi ${LUMIVANE_ICON} ${CMAKE_BINARY_DIR}/cmake_install.cmake
                ${windows_dir}/DeployRuntime.cmake ${windows_dir}/InstallerFiles.cmake ${windows_dir}/THIRD-PARTY.txt
        COMMENT "Deploy folder ${LUMIVANE_DEPLOY_DIR}, ${LUMIVANE_ZIP} and ${LUMIVANE_SETUP}"
        VERBATIM)
    add_custom_target(installer DEPENDS ${LUMIVANE_SETUP} ${LUMIVANE_ZIP})
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL lumivane_windows_targets)
