#!/bin/bash
# Sets up a Debian 12 machine for holvane, builds it, then runs it or its tests.
#
#   ./build.sh run [DOCUMENT]   install what is missing, build, start the editor
#   ./build.sh test             install what is missing, build, run every test
#   ./build.sh package          install what is missing, build the Debian package
#                               (tests included), check it, leave it in build-deb/
#   ./build.sh fuzz [SECONDS [TARGET...]]
#                               build the fuzz targets with clang, libFuzzer, ASan
#                               and UBSan, run each for SECONDS (60) on one core
#   ./build.sh sanitize         build and run every test with ASan and UBSan
set -euo pipefail
cd "$(dirname "$0")"

# e2fsprogs gives the tests mkfs.ext2: a file system without fallocate to fill up.
# xvfb, weston and qt6-wayland: a test takes an X server and a Wayland compositor
# away from a running editor (tests/test_termination.cpp).
PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic e2fsprogs zlib1g-dev xvfb
    weston qt6-wayland)
# What ./build.sh package needs beside debian/control's Build-Depends: the
# Debian build tools and the validators tools/check_package.sh runs.
PACKAGING_TOOLS=(dpkg-dev debhelper binutils desktop-file-utils appstream man-db)
# What ./build.sh fuzz needs beside PACKAGES: clang and its libFuzzer.
FUZZ_TOOLS=(clang-14 libclang-rt-14-dev)
FUZZ_TARGETS=(codecs detect pane tags recovery)

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
fuzz)
    seconds="${1:-60}"
    [ $# -gt 1 ] && FUZZ_TARGETS=("${@:2}")
    install_missing "${PACKAGES[@]}" "${FUZZ_TOOLS[@]}"
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
        -DBUILD_TESTING=OFF -DHOLVANE_BENCHMARKS=OFF -DHOLVANE_FUZZ=ON >/dev/null
    cmake --build build-fuzz --parallel --target "${FUZZ_TARGETS[@]/#/fuzz_}"
    # New inputs go to build-fuzz/corpus/; the seeds in fuzz/corpus/ stay as checked in.
    status=0
    for target in "${FUZZ_TARGETS[@]}"; do
        log="build-fuzz/fuzz_$target.log"
        mkdir -p "build-fuzz/corpus/$target"
        # Qt's caches grow with every new text the pane lays out, and a leak
        # scan after each such input costs twenty inputs; leaks are still
        # reported when the run ends.
        options=()
        if [ "$target" = pane ]; then options=(-detect_leaks=0); fi
        if QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" \
            "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 "${options[@]}" \
            -artifact_prefix="build-fuzz/fuzz_$target-" "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
            found="none"
        else
            found="FOUND, see $log and build-fuzz/fuzz_$target-*"
            status=1
        fi
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
        echo "fuzz_$target: ${executions:-?} executions, ${coverage:-no coverage}, findings: $found"
    done
    exit "$status"
    ;;
sanitize)
    install_missing "${PACKAGES[@]}"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOLVANE_BENCHMARKS=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
    cmake --build build-asan --parallel
    # Every report stops its test (no recovery), and the whole output is
    # searched too, for one that a test let pass.
    status=0
    QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
        LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0" \
        ctest --test-dir build-asan --output-on-failure --output-log build-asan/sanitize.log || status=1
    if grep -qE 'runtime error:|ERROR: (Address|Leak)Sanitizer' build-asan/sanitize.log; then
        echo "Sanitizer reports in build-asan/sanitize.log" >&2
        status=1
    fi
    exit "$status"
    ;;
*)
    echo "usage: ./build.sh run [DOCUMENT] | ./build.sh test | ./build.sh package | ./build.sh fuzz [SECONDS [TARGET...]] | ./build.sh sanitize" >&2
    exit 2
    ;;
esac
