#!/usr/bin/env bash
# Installs, as root on Debian 12, every package that the program, its tests and its benchmarks use.
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format ccache
    qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev libxcb1-dev libxcb-xfixes0-dev
    # translations: Qt Linguist's CMake package and lrelease (also for the Windows build)
    qttools5-dev qttools5-dev-tools
    # the same program built with Qt 6 (-DQT_MAJOR_VERSION=6): its modules, tools, Linguist's CMake
    # package and lrelease, the Wayland platform for its Wayland paths, and Xlib's header (the
    # X11 screen of Qt 6's display)
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-wayland libx11-dev
    # the Wayland side: layer surfaces (LayerShellQt), the registry query (libwayland-client)
    liblayershellqtinterface-dev libwayland-dev
    # run: a CJK font for the captions, the xcb platform's own needs
    fonts-wqy-microhei
    # tests: X server, screenshots, window tools
    xvfb xauth x11-utils x11-apps xdotool imagemagick
    # screen tests: a nested X server whose resolution changes (xrandr), the server's resources
    # (xrdb: Xft.dpi), the root colour (xsetroot), a compositing manager
    xserver-xephyr x11-xserver-utils xcompmgr
    # device link tests: a private system bus with a mock BlueZ; the fuzzer (clang's libFuzzer)
    dbus-daemon python3 python3-dbus python3-dbusmock python3-gi clang libclang-rt-14-dev
    # session bus tests: the real clients (busctl, gdbus) and the activation environment's tool;
    # a headless Wayland compositor and Qt's Wayland platform, for a user who forces it
    systemd libglib2.0-bin dbus-bin weston qtwayland5
    # the desktops users run: sway headless (with XWayland), its screenshots and tree, the
    # layer-shell integration, the compositor's globals
    sway xwayland grim layer-shell-qt wayland-utils
    # benchmarks (bench/run.sh): the driver watches drawing and selections, runs a private bus
    # and calls the overlay on it
    libxcb-damage0-dev dbus-daemon libdbus-1-dev
    # accessibility tests: the desktop's accessibility bus and an AT-SPI client on it
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    # tray tests: a real XEmbed tray host, a real window manager, the freedesktop desktop-entry
    # validator
    trayer openbox desktop-file-utils
    # the Debian package and what checks the installed files: dpkg-shlibdeps, lintian, the AppStream
    # validator, groff and man for the manual pages; the icon theme the icons extend
    dpkg-dev lintian appstream groff-base man-db hicolor-icon-theme
    # Windows: cross compilers, Wine to run the tests, NSIS for the installer, pefile to read the
    # programs' resources
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 nsis python3-pefile
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [[ $status == installed ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
