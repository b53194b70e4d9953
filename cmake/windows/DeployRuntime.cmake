# Install step of the Windows deploy folder: copies beside the programs every DLL that they and
# their plugins import, directly or through another DLL, from Qt's and MinGW's directories, and
# refuses a folder that would still lack a DLL on a clean Windows. Set by the install rule:
# LUMIVANE_DEPLOY_PROGRAMS, LUMIVANE_DEPLOY_PLUGINS, LUMIVANE_DEPLOY_DLL_DIRS, LUMIVANE_DEPLOY_OBJDUMP.
# (file(GET_RUNTIME_DEPENDENCIES) cannot be used: it lower-cases the names it looks for, which
# then miss Qt5Core.dll on a case-sensitive host.)

# DLLs that every Windows installation (and Wine) has.
set(system_dlls
    advapi32 comdlg32 d3d11 dwmapi dxgi gdi32 imm32 kernel32 mpr msvcrt netapi32 ole32 oleaut32
    setupapi shell32 user32 userenv uxtheme version winmm ws2_32 wtsapi32)

# Available DLLs by lower-case name; the first directory that has one wins.
set(available "")
foreach(dir IN LISTS LUMIVANE_DEPLOY_DLL_DIRS)
    file(GLOB dlls "${dir}/*.dll")
    foreach(dll IN LISTS dlls)
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" key)
        if(NOT DEFINED "dll_${key}")
            set("dll_${key}" "${dll}")
        endif()
    endforeach()
endforeach()

set(pending ${LUMIVANE_DEPLOY_PROGRAMS} ${LUMIVANE_DEPLOY_PLUGINS})
set(deploy "")
set(missing "")
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND "${LUMIVANE_DEPLOY_OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE headers
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${LUMIVANE_DEPLOY_OBJDUMP} cannot read ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" name "${import}")
        string(TOLOWER "${name}" key)
        string(REGEX REPLACE "\\.dll$" "" base "${key}")
        list(FIND system_dlls "${base}" system)
        if(NOT system EQUAL -1 OR base MATCHES "^api-ms-win-")
            continue()
        elseif(DEFINED "dll_${key}")
            list(FIND deploy "${dll_${key}}" known)
            if(known EQUAL -1)
                list(APPEND deploy "${dll_${key}}")
                list(APPEND pending "${dll_${key}}")
            endif()
        else()
            list(APPEND missing "${name} (for ${binary})")
        endif()
    endforeach()
endwhile()

if(missing)
    message(FATAL_ERROR "The deploy folder would lack ${missing}")
endif()
file(INSTALL ${deploy} DESTINATION "${CMAKE_INSTALL_PREFIX}")
