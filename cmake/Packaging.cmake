# The Debian package, for prefix /usr: cpack -G DEB in the build tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivane)
set(CPACK_PACKAGE_VENDOR Lumivane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A small tray-resident companion for the Lumivane Bluetooth LE lighting
accessory. Whenever the accessory reports a new lighting mode or colour, a
short on-screen display shows the mode's icon and caption, or pulses a ring
in the new colour. The package also holds lumivane-send, which sends such a
report by hand.")
set(LUMIVANE_MAINTAINER "Lumivane developers <packages@${LUMIVANE_SUPPORT_HOST}>" CACHE STRING
    "The Debian package's maintainer, as name <address>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMIVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${LUMIVANE_SUPPORT_HOST}/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries from the binaries; the captions need a CJK font, the icons the theme they extend;
# the overlay as a layer surface on Wayland needs Qt's Wayland platform and its layer-shell
# integration, plugins that no binary links. A Qt 6 build, which has no layer-shell integration,
# needs Qt 6's Wayland platform alone, and nothing of Qt 5.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(LUMIVANE_LAYER_SHELL_INTEGRATION)
    set(wayland_packages "layer-shell-qt, qtwayland5")
else()
    set(wayland_packages qt6-wayland)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, hicolor-icon-theme, ${wayland_packages}")
set(CPACK_STRIP_FILES ON)
# Installed with DESTDIR, so that the install step sees the prefix /usr and writes the D-Bus
# service file for /usr/bin/lumivane.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)

# Debian's copyright file and changelog, installed with every freedesktop install.
string(SUBSTRING ${LUMIVANE_RELEASE_DATE} 0 4 LUMIVANE_RELEASE_YEAR)
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -d ${LUMIVANE_RELEASE_DATE} "+%a, %d %b %Y 00:00:00 +0000"
    OUTPUT_VARIABLE LUMIVANE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(debian_dir ${PROJECT_BINARY_DIR}/debian)
configure_file(cmake/debian/copyright.in ${debian_dir}/copyright @ONLY)
configure_file(cmake/debian/changelog.in ${debian_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${debian_dir}/changelog.gz
    COMMAND ${LUMIVANE_GZIP} -9nkf changelog
    DEPENDS ${debian_dir}/changelog
    WORKING_DIRECTORY ${debian_dir}
    VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${debian_dir}/changelog.gz)
install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
