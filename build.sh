#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh run [switches...]   install what is missing, build, run lumek
#   ./build.sh test                install what is missing, build, run every test
#   ./build.sh windows             cross-compile the Windows program, build-windows/lumek.exe
# Both are safe to repeat and quick when nothing changed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

run_packages=(g++ make cmake pkg-config libpng-dev libxxhash-dev libsdl2-dev libgl-dev libglu1-mesa-dev
              libgl1-mesa-dri)
test_packages=(googletest libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool imagemagick x11-utils)
windows_packages=(cmake make g++-mingw-w64-x86-64-posix)
wine_packages=(wine wine64)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}

# configure_and_build <dir> [cmake options...]: configures only the first time.
configure_and_build() {
    local dir="$1"; shift
    if [ ! -f "$here/$dir/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$here/$dir" "$@"
    fi
    cmake --build "$here/$dir" -j "$jobs"
}

# reconfigure_and_build <dir> [cmake options...]: the options always apply
# (a second configure with nothing changed takes a moment).
reconfigure_and_build() {
    local dir="$1"; shift
    cmake -S "$here" -B "$here/$dir" "$@" >/dev/null
    cmake --build "$here/$dir" -j "$jobs"
}

build_windows() {
    configure_and_build build-windows -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$here/cmake/mingw-w64-x86_64.cmake"
}

case "${1:-}" in
    run)
        shift
        install_missing "${run_packages[@]}"
        # Tests and benchmarks need packages only the test command installs.
        configure_and_build build -DLUMEK_TESTS=OFF -DLUMEK_PERF=OFF >/dev/null
        exec "$here/build/lumek" "$@"
        ;;
    windows)
        install_missing "${windows_packages[@]}"
        build_windows
        echo "Built $here/build-windows/lumek.exe (run it on Windows, or: wine build-windows/lumek.exe -shot1)"
        ;;
    test)
        install_missing "${run_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}" \
            "${wine_packages[@]}"
        # The Windows program first: the normal build's Wine tests drive it.
        build_windows
        reconfigure_and_build build -DLUMEK_TESTS=ON -DLUMEK_PERF=ON -DLUMEK_WINE_TESTS=ON
        (cd "$here/build" && ctest --output-on-failure -j "$jobs")
        reconfigure_and_build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEK_SANITIZE=ON \
            -DLUMEK_TESTS=ON -DLUMEK_WINE_TESTS=OFF
        # The whole 312-second show and the Wine tests run once, in the normal build.
        (cd "$here/build-sanitize" && ctest --output-on-failure -j "$jobs" -LE show)
        # The renderer's threads under ThreadSanitizer.
        reconfigure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEK_TSAN=ON \
            -DLUMEK_PERF=OFF -DLUMEK_WINE_TESTS=OFF
        "$here/build-tsan/tests/lumek_tests" \
            --gtest_filter='Render*:FastRender*:RendererSetup*:ScreenshotRun.Golden*'
        ;;
    *)
        echo "usage: $0 run [lumek switches...] | $0 test | $0 windows" >&2
        exit 2
        ;;
esac
