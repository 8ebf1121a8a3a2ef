#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh run [switches...]   install what is missing, build, run lumek
#   ./build.sh test                install what is missing, build, run every test
# Both are safe to repeat and quick when nothing changed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

run_packages=(g++ make cmake pkg-config libpng-dev libsdl2-dev libgl-dev libglu1-mesa-dev
              libgl1-mesa-dri)
test_packages=(googletest libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool imagemagick x11-utils)

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

# configure_and_build <dir> [cmake options...]
configure_and_build() {
    local dir="$1"; shift
    if [ ! -f "$here/$dir/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$here/$dir" "$@"
    fi
    cmake --build "$here/$dir" -j "$jobs"
}

case "${1:-}" in
    run)
        shift
        install_missing "${run_packages[@]}"
        configure_and_build build >/dev/null
        exec "$here/build/lumek" "$@"
        ;;
    test)
        install_missing "${run_packages[@]}" "${test_packages[@]}"
        configure_and_build build
        (cd "$here/build" && ctest --output-on-failure -j "$jobs")
        configure_and_build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEK_SANITIZE=ON
        # The whole 312-second show runs once, in the normal build.
        (cd "$here/build-sanitize" && ctest --output-on-failure -j "$jobs" -LE show)
        # The renderer's threads under ThreadSanitizer.
        configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEK_TSAN=ON \
            -DLUMEK_PERF=OFF
        "$here/build-tsan/tests/lumek_tests" \
            --gtest_filter='Render*:FastRender*:RendererSetup*:ScreenshotRun.Golden*'
        ;;
    *)
        echo "usage: $0 run [lumek switches...] | $0 test" >&2
        exit 2
        ;;
esac
