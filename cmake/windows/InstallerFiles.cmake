# Writes the installer's file lists from the deploy folder, so that the uninstaller removes exactly
# what the installer put down and never a file the user added to the folder.
#   cmake -DLUMIVANE_DEPLOY_DIR=<folder> -DLUMIVANE_FILE_LISTS=<prefix> -P InstallerFiles.cmake
# makes <prefix>-install.nsh, which also defines ESTIMATED_SIZE_KB (what the list of installed
# programs shows), and <prefix>-uninstall.nsh.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${LUMIVANE_DEPLOY_DIR}" "${LUMIVANE_DEPLOY_DIR}/*")
list(SORT files)

set(install "")
set(uninstall "")
set(dirs "")
set(out_dir "-")
set(size 0)
foreach(file IN LISTS files)
    file(SIZE "${LUMIVANE_DEPLOY_DIR}/${file}" file_size)
    math(EXPR size "${size} + ${file_size}")
    get_filename_component(dir "${file}" DIRECTORY)
    if(NOT dir STREQUAL out_dir)
        set(out_dir "${dir}")
        string(REPLACE "/" "\\" win_dir "\\${dir}")
        if(dir STREQUAL "")
            set(win_dir "")
        endif()
        string(APPEND install "SetOutPath \"$INSTDIR${win_dir}\"\n")
        while(NOT dir STREQUAL "")
            list(APPEND dirs "${dir}")
            get_filename_component(dir "${dir}" DIRECTORY)
        endwhile()
    endif()
    string(APPEND install "File \"${LUMIVANE_DEPLOY_DIR}/${file}\"\n")
    string(REPLACE "/" "\\" win_file "${file}")
    string(APPEND uninstall "Delete \"$INSTDIR\\${win_file}\"\n")
endforeach()

# Deepest folders first; RMDir without /r leaves a folder that still holds something of the user's.
list(REMOVE_DUPLICATES dirs)
list(SORT dirs)
list(REVERSE dirs)
foreach(dir IN LISTS dirs)
    string(REPLACE "/" "\\" win_dir "${dir}")
    string(APPEND uninstall "RMDir \"$INSTDIR\\${win_dir}\"\n")
endforeach()

math(EXPR size_kb "(${size} + 1023) / 1024")
file(WRITE "${LUMIVANE_FILE_LISTS}-install.nsh" "!define ESTIMATED_SIZE_KB ${size_kb}\n${install}")
file(WRITE "${LUMIVANE_FILE_LISTS}-uninstall.nsh" "${uninstall}")
