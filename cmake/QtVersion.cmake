# The Qt major version a tree is built with, and the check that it links no other.
set(QT_MAJOR_VERSION 5 CACHE STRING "The Qt major version to build with: 5 or 6")
set_property(CACHE QT_MAJOR_VERSION PROPERTY STRINGS 5 6)
if(QT_MAJOR_VERSION STREQUAL "5")
    set(LUMIVANE_QT_MINIMUM 5.15)
elseif(QT_MAJOR_VERSION STREQUAL "6")
    set(LUMIVANE_QT_MINIMUM 6.4)
else()
    message(FATAL_ERROR "QT_MAJOR_VERSION must be 5 or 6, not '${QT_MAJOR_VERSION}'")
endif()
# LayerShellQt, with which the program makes its layer surface on Wayland, is built for one Qt;
# Debian 12 has it for Qt 5 alone. A Qt 6 build never looks for it, and takes XWayland where a
# Qt 5 build takes a layer surface.
if(QT_MAJOR_VERSION STREQUAL "5")
    set(LUMIVANE_LAYER_SHELL_INTEGRATION 1)
else()
    set(LUMIVANE_LAYER_SHELL_INTEGRATION 0)
endif()
# The Windows build's SDK, its deployment and its installer are Qt 5's.
if(WIN32 AND NOT QT_MAJOR_VERSION STREQUAL "5")
    message(FATAL_ERROR "The Windows build has not been ported to Qt ${QT_MAJOR_VERSION}: configure it with QT_MAJOR_VERSION=5")
endif()

# Every package of the other Qt that a find_package() of this run finds leaves its folder in the
# cache; those of an earlier run are forgotten first, so that only this configuration counts.
set(other_qt 5)
if(QT_MAJOR_VERSION STREQUAL "5")
    set(other_qt 6)
endif()
get_property(cached_variables GLOBAL PROPERTY CACHE_VARIABLES)
foreach(variable IN LISTS cached_variables)
    if(variable MATCHES "^Qt${other_qt}[A-Za-z0-9]*_DIR$")
        unset(${variable} CACHE)
    endif()
endforeach()

# The targets of a folder and of every folder below it.
function(lumivane_targets_below directory out)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        lumivane_targets_below(${subdirectory} below)
        list(APPEND targets ${below})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Called once every target exists. Two Qt versions in one process abort it at the first symbol
# they share; a package found for the other Qt (LayerShellQt is built for Qt 5 alone) or a target
# that names its libraries stops the configuration instead.
function(lumivane_check_one_qt)
    get_property(cached_variables GLOBAL PROPERTY CACHE_VARIABLES)
    foreach(variable IN LISTS cached_variables)
        if(variable MATCHES "^Qt${other_qt}[A-Za-z0-9]*_DIR$" AND ${variable})
            message(FATAL_ERROR "This Qt ${QT_MAJOR_VERSION} build found a package of Qt ${other_qt} "
                                "(${variable}=${${variable}}); it would link both")
        endif()
    endforeach()
    lumivane_targets_below(${PROJECT_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "UTILITY")
            continue()
        endif()
        get_target_property(libraries ${target} LINK_LIBRARIES)
        get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
        foreach(library IN LISTS libraries interface)
            if(library MATCHES "(^|[/:])(lib)?Qt${other_qt}")
                message(FATAL_ERROR "Target ${target} of this Qt ${QT_MAJOR_VERSION} build links ${library}")
            endif()
        endforeach()
    endforeach()
endfunction()
