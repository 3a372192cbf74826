#!/usr/bin/env bash
# Installs the Debian packages that building and testing QUENZIL need, and only those missing.
# Runs apt-get through sudo unless it already runs as root.
#
#   install-deps.sh [--build-only] [PACKAGE...]
#
# --build-only installs what building, installing and packaging the programs need (make install,
# make package), without the test tools; further arguments are more packages to install.
set -euo pipefail

packages=(
    cmake ninja-build g++ make      # the build
    qt6-base-dev libgl-dev          # Qt 6 Widgets, Gui and Test
    dpkg-dev file                   # the Debian package: dpkg-shlibdeps finds its dependencies
)
test_packages=(
    libgtest-dev                    # GoogleTest for the toolkit-free core
    xvfb xauth xdotool libx11-dev   # the test that starts the real window and clicks in it
    desktop-file-utils man-db       # the package test checks the desktop entry and manual pages
    lintian                         # ... and has lintian check the package
    bwbasic                         # the test that reads tables back in a real BASIC
    qt6-image-formats-plugins       # WebP, TIFF, TGA, ...: the tests read such pictures
    qt6-base-private-dev            # the window test that asks the window to close as a window
                                    # manager does, through Qt's window system interface
)
if [ "${1:-}" = --build-only ]; then
    shift
else
    packages+=("${test_packages[@]}")
fi
packages+=("$@")                    # callers may ask for more (the benchmarks want ffmpeg)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
