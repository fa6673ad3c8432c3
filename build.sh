#!/bin/bash
# Sets up a Debian 12 machine for holvane, builds it, then runs it or its tests.
#
#   ./build.sh run [DOCUMENT]   install what is missing, build, start the editor
#   ./build.sh test             install what is missing, build, run every test
#   ./build.sh package          install what is missing, build the Debian package
#                               (tests included), check it, leave it in build-deb/
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic pkgconf libuchardet-dev)
# What ./build.sh package needs beside debian/control's Build-Depends: the
# Debian build tools and the validators tools/check_package.sh runs.
PACKAGING_TOOLS=(dpkg-dev debhelper binutils desktop-file-utils appstream man-db)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    fi
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build --parallel
}

mode="${1:-}"
[ $# -gt 0 ] && shift
case "$mode" in
run)
    install_missing "${PACKAGES[@]}"
    build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "holvane needs a display and none is set (DISPLAY is empty); without one, try: xvfb-run ./build.sh run $*" >&2
        exit 1
    fi
    exec ./build/holvane "$@"
    ;;
test)
    install_missing "${PACKAGES[@]}"
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    ;;
package)
    install_missing "${PACKAGING_TOOLS[@]}"
    if ! dpkg-checkbuilddeps >/dev/null 2>&1; then
        echo "Installing the build dependencies from debian/control"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq ./
    fi
    version=$(dpkg-parsechangelog -S Version)
    arch=$(dpkg --print-architecture)
    # dpkg-buildpackage builds in obj-*/ and writes its results next to the
    # source tree; they are gathered in build-deb/, the .changes with them.
    dpkg-buildpackage -us -uc -b --jobs-try=auto --post-clean
    mkdir -p build-deb
    for f in ../holvane_"${version}"_"${arch}".{deb,buildinfo,changes} ../holvane-dbgsym_"${version}"_"${arch}".deb; do
        if [ -e "$f" ]; then mv -f "$f" build-deb/; fi
    done
    tools/check_package.sh "build-deb/holvane_${version}_${arch}.deb"
    echo "Built build-deb/holvane_${version}_${arch}.deb; install it with: sudo apt install ./build-deb/holvane_${version}_${arch}.deb"
    ;;
*)
    echo "usage: ./build.sh run [DOCUMENT] | ./build.sh test | ./build.sh package" >&2
    exit 2
    ;;
esac
