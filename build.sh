#!/bin/bash
# Sets up a Debian 12 machine for holvane, builds it, then runs it or its tests.
#
#   ./build.sh run [DOCUMENT]   install what is missing, build, start the editor
#   ./build.sh test             install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic pkgconf libuchardet-dev)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
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
    install_missing
    build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "holvane needs a display and none is set (DISPLAY is empty); without one, try: xvfb-run ./build.sh run $*" >&2
        exit 1
    fi
    exec ./build/holvane "$@"
    ;;
test)
    install_missing
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    ;;
*)
    echo "usage: ./build.sh run [DOCUMENT] | ./build.sh test" >&2
    exit 2
    ;;
esac
