#!/usr/bin/env bash
# Cross-builds the program and its tests for 64-bit Windows with MinGW-w64 and the Qt SDK for it,
# and makes the deploy folder (<build>/Lumivane), its zip and the installer
# (<build>/Lumivane-<version>-setup.exe).
#   build-windows.sh [build directory]        (default: build/windows)
# The SDK is $LUMIVANE_QT_MINGW (the .tar.xz or an unpacked qt5-mingw folder), by default
# ../shared/qt5-mingw-x86_64.tar.xz beside the checkout. Under CI (CI=true) it must be there;
# elsewhere a missing SDK skips the Windows build with a loud warning and exit status 3.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
dir=${1:-build/windows}
sdk=${LUMIVANE_QT_MINGW:-../shared/qt5-mingw-x86_64.tar.xz}

if [[ ! -e $sdk ]]; then
    if [[ ${CI:-} == true ]]; then
        echo "build-windows: the Qt SDK for MinGW-w64 is missing ($sdk)" >&2
        exit 1
    fi
    echo "################################################################################"
    echo "# build-windows: SKIPPED, no Qt SDK for MinGW-w64 at $sdk"
    echo "# (set LUMIVANE_QT_MINGW to the qt5-mingw-x86_64.tar.xz or its unpacked folder)"
    echo "################################################################################"
    exit 3
fi

mkdir -p "$dir"
if [[ -d $sdk ]]; then
    qt=$(cd "$sdk" && pwd)
else
    # Unpacked into the build tree once per archive; the CMake package files are relocatable.
    qt=$PWD/$dir/qt5-mingw
    stamp=$(stat -c '%s %Y' "$sdk")
    if [[ ! -f $qt/.unpacked || $(cat "$qt/.unpacked") != "$stamp" ]]; then
        echo "== Windows: unpacking $sdk"
        rm -rf "$qt"
        tar -xJf "$sdk" -C "$dir"
        echo "$stamp" >"$qt/.unpacked"
    fi
fi

echo "== Windows: build"
configure_tree "$dir/configure.log" "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_DEVELOPER_MODE=ON
cmake --build "$dir" -j "$(nproc)"
cmake --build "$dir" --target installer
