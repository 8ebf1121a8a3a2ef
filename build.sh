#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh run [switches...]   install what is missing, build, run lumek
#   ./build.sh test                install what is missing, build, run every test
#   ./build.sh windows             cross-compile the Windows program, build-windows/lumek.exe
#   ./build.sh arm64               cross-compile for ARM64 Linux (no display), build-arm64/lumek
#   ./build.sh package             a Debian package and a zip for Windows, in build-package/
#   ./build.sh web                 the web page in build-web/ (WebAssembly, no Emscripten)
# All are safe to repeat and quick when nothing changed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

run_packages=(g++ make cmake pkg-config libxxhash-dev libstb-dev nlohmann-json3-dev libsdl2-dev
              libgl-dev libglu1-mesa-dev libgl1-mesa-dri)
test_packages=(googletest libgtest-dev libbenchmark-dev libpng-dev libx11-dev xvfb xdotool
               imagemagick x11-utils clang-14 libclang-rt-14-dev ffmpeg python3-jsonschema
               pybind11-dev python3-dev python3-numpy python3-pytest)
windows_packages=(cmake make libxxhash-dev libstb-dev nlohmann-json3-dev g++-mingw-w64-x86-64-posix)
wine_packages=(wine wine64)
arm64_packages=(cmake make libxxhash-dev libstb-dev nlohmann-json3-dev g++-aarch64-linux-gnu qemu-user
                googletest)
# Building the Debian package the Debian way, and checking what is packaged.
package_packages=(build-essential dpkg-dev debhelper dh-python pybind11-dev python3-dev zip)
package_test_packages=(unzip lintian desktop-file-utils appstream icoutils man-db)
web_packages=(cmake make libxxhash-dev clang-14 lld-14 wasi-libc libclang-rt-14-dev-wasm32
              libc++-14-dev-wasm32 libc++abi-14-dev-wasm32)
web_test_packages=(chromium ffmpeg)

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

# reconfigure <dir> [cmake options...]: the options always apply (a second
# configure with nothing changed takes a moment).
reconfigure() {
    local dir="$1"; shift
    cmake -S "$here" -B "$here/$dir" "$@" >/dev/null
}

# The icon renderer of the native build (build/): the Windows build runs it
# for its icon (the pictures are the same bytes on every build).
build_icon_tool() {
    [ -f "$here/build/CMakeCache.txt" ] ||
        cmake -S "$here" -B "$here/build" -DLUMEK_TESTS=OFF -DLUMEK_PERF=OFF >/dev/null
    cmake --build "$here/build" -j "$jobs" --target lumek_icons
}

build_windows() {
    reconfigure build-windows -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$here/cmake/mingw-w64-x86_64.cmake" \
        -DLUMEK_ICON_TOOL="$here/build/packaging/lumek_icons"
    cmake --build "$here/build-windows" -j "$jobs"
}

build_arm64() {
    reconfigure build-arm64 -DCMAKE_BUILD_TYPE=Release -DLUMEK_DISPLAY=OFF -DLUMEK_PERF=OFF \
        --toolchain "$here/cmake/aarch64-linux-gnu.cmake"
    cmake --build "$here/build-arm64" -j "$jobs" --target lumek "$@"
}

build_web() {
    configure_and_build build-web -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$here/cmake/wasm32-wasi.cmake"
}

# Node.js and npm from Debian where the machine has none.
install_node() {
    command -v node >/dev/null && command -v npm >/dev/null || install_missing nodejs npm
}

# puppeteer-core (it downloads no browser; the tests use Debian's chromium).
install_page_test_modules() {
    local dir="$here/build/web-test"
    mkdir -p "$dir"
    cp "$here/tests/web/package.json" "$here/tests/web/package-lock.json" "$dir/"
    if ! cmp -s "$dir/package-lock.json" "$dir/node_modules/.package-lock.json.installed" 2>/dev/null; then
        (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
        cp "$dir/package-lock.json" "$dir/node_modules/.package-lock.json.installed"
    fi
}

version() { sed -n 's/^project(lumek VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt"; }

# The Debian package, built as Debian builds packages (debian/: debhelper's
# CMake support, without the tests and benchmark suite) from a copy of the
# tree, because dpkg-buildpackage writes beside the tree it builds. Leaves
# build-package/<package>_<version>_<arch>.deb for the program, the library
# (liblumek1, liblumek-dev) and the Python module (python3-lumek); the log
# and dpkg's other files stay in build-package/debian-build/.
build_debian_package() {
    local out="$here/build-package" ver arch
    ver="$(version)"
    arch="$(dpkg --print-architecture)"
    local work="$out/debian-build" src="$out/debian-build/lumek-$ver"
    local packages=(lumek liblumek1 liblumek-dev python3-lumek) pkg
    rm -rf "$work"
    for pkg in "${packages[@]}"; do rm -f "$out/${pkg}_${ver}_${arch}.deb"; done
    mkdir -p "$src"
    # The tree as git sees it, uncommitted changes included; else all but
    # the build folders.
    if git -C "$here" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        (cd "$here" && git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' f; do [ -f "$f" ] && printf '%s\0' "$f"; done |
            tar --null --no-recursion -T - -cf -) | tar -C "$src" -xf -
    else
        tar -C "$here" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . |
            tar -C "$src" -xf -
    fi
    # No debug symbols package, so no debug information to compile either
    # (dh_strip would strip it).
    if ! (cd "$src" && DEB_BUILD_OPTIONS="parallel=$jobs nocheck noautodbgsym" \
            DEB_CXXFLAGS_STRIP=-g dpkg-buildpackage -b -us -uc) >"$work/build.log" 2>&1; then
        tail -40 "$work/build.log"
        echo "The Debian package failed; the whole log is $work/build.log"
        return 1
    fi
    rm -rf "$src"
    for pkg in "${packages[@]}"; do
        mv "$work/${pkg}_${ver}_${arch}.deb" "$out/"
        echo "Debian package: $out/${pkg}_${ver}_${arch}.deb"
    done
}

# The Windows program with the README, the licence and the notices, as a
# zip.
make_windows_zip() {
    local out="$here/build-package" ver
    ver="$(version)"
    local zipdir="$out/lumek-$ver-windows-x86_64"
    rm -rf "$zipdir" "$zipdir.zip"
    mkdir -p "$zipdir"
    cp "$here/build-windows/lumek.exe" "$here/README.md" "$here/LICENSE" \
        "$here/THIRD-PARTY-NOTICES" "$zipdir/"
    (cd "$zipdir" && zip -q -X "$zipdir.zip" lumek.exe README.md LICENSE THIRD-PARTY-NOTICES)
    rm -rf "$zipdir"
    echo "Windows zip: $zipdir.zip"
}

# run_sharded <log-name> <command...>: one gtest program run as one shard per
# core (GTEST_SHARD_INDEX), side by side; their outputs are shown one after
# the other, and it fails when any shard failed.
run_sharded() {
    local name="$1"; shift
    local pids=() status=0 shard
    for ((shard = 0; shard < jobs; shard++)); do
        GTEST_TOTAL_SHARDS="$jobs" GTEST_SHARD_INDEX="$shard" \
            "$@" >"$here/build/$name-shard$shard.log" 2>&1 &
        pids+=($!)
    done
    for ((shard = 0; shard < jobs; shard++)); do
        wait "${pids[$shard]}" || status=1
        cat "$here/build/$name-shard$shard.log"
    done
    return "$status"
}

# Every test, most of them side by side. The 312-second show runs beside
# the rest at a lower priority (it is tied to its clock, not to the frame
# rate); the tests that measure processor time run alone at the end.
run_tests() {
    local show_log="$here/build/show-tests.log"
    (cd "$here/build" && nice -n 10 ctest --output-on-failure -L show >"$show_log" 2>&1) &
    # Global: the trap runs after this function has returned.
    show_pid=$!
    trap 'kill "$show_pid" 2>/dev/null || true' EXIT

    echo "== The normal build (GCC): unit tests, the program on Xvfb, Wine, the web page, packages"
    (cd "$here/build" && ctest --output-on-failure -j "$jobs" -LE 'show|serial')

    echo "== ARM64 under qemu: the unit tests and the golden pictures"
    # Left out: the slowest comparisons of the fast renderer (the golden
    # pictures cover it there), tests that time or start many processes,
    # those of signals and descriptors between processes (the emulator stands
    # between the test and the program), and the stability runs' and the
    # benchmark's tests that wait through many emulated rounds (their logic
    # is the same everywhere; BenchHashes checks the benchmark's frames).
    build_arm64 lumek_tests
    run_sharded arm64 qemu-aarch64 -L /usr/aarch64-linux-gnu "$here/build-arm64/tests/lumek_tests" \
        --gtest_brief=1 \
        --gtest_filter='-FastRender.TheEightShotViews:FastRender.ShowPosesAtEveryRenderSize:LargeScene.ThousandsOf*:LargeScene.AMaze*:LargeScene.BeyondSixty*:SceneFile.RefusesMoreShapes*:Record*:Program.AnInterrupt*:BenchmarkProgram.*:Surroundings.*:MemorySweep.*:StressRun.WhereBinding*:StressRun.ASetLength*:StressRun.AStalled*:StressRun.AThreadHeld*:StressRun.OnATerminalAFault*:StressRun.AfterAPause*:StressRun.APause*:StressRun.AThreadMoved*:StressRun.AStopBefore*:StressRun.ALostOutput*:StressRun.TheTotalRate*:StressLog.*:CycleRun.*:BenchRecord.*:BenchmarkRun.*'

    # Clang's build is the sanitizers' one, optimised as the release is, so
    # that its golden pictures show that both compilers give the same bytes
    # (the sanitizers change no arithmetic); line tables name the lines of
    # a fault at little cost.
    echo "== Clang with AddressSanitizer and UndefinedBehaviorSanitizer: every test, the golden pictures, the fuzzers"
    CXX=clang++-14 reconfigure build-fuzz -DCMAKE_BUILD_TYPE=Release -DLUMEK_SANITIZE=ON \
        -DCMAKE_CXX_FLAGS=-gline-tables-only -DLUMEK_FUZZ=ON -DLUMEK_PERF=OFF
    cmake --build "$here/build-fuzz" -j "$jobs"
    (cd "$here/build-fuzz" && ctest --output-on-failure -j "$jobs" -LE 'show|serial')
    # New inputs go to a scratch folder; the committed seeds are only read.
    mkdir -p "$here/build-fuzz/corpus"
    local fuzz_status=0
    "$here/build-fuzz/tests/lumek_fuzz" -max_total_time=40 -print_final_stats=1 \
        -artifact_prefix="$here/build-fuzz/" "$here/build-fuzz/corpus" \
        "$here/tests/fuzz/corpus" "$here/tests/fuzz/regressions" >"$here/build-fuzz/fuzz.log" 2>&1 ||
        fuzz_status=$?
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|renderers disagree|SUMMARY)' \
        "$here/build-fuzz/fuzz.log" || true
    if [ "$fuzz_status" -ne 0 ]; then
        tail -40 "$here/build-fuzz/fuzz.log"
        echo "The fuzzer found a fault; the input is in build-fuzz/ (crash-*)."
        exit 1
    fi
    # The scene reader's fuzzer, from the example scenes, for the rest of the minute.
    mkdir -p "$here/build-fuzz/scene-corpus"
    "$here/build-fuzz/tests/lumek_scene_fuzz" -max_total_time=20 -print_final_stats=1 \
        -dict="$here/tests/fuzz/scene.dict" -artifact_prefix="$here/build-fuzz/scene-" \
        "$here/build-fuzz/scene-corpus" "$here/examples" >"$here/build-fuzz/scene-fuzz.log" 2>&1 ||
        fuzz_status=$?
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|scene reader|SUMMARY)' \
        "$here/build-fuzz/scene-fuzz.log" || true
    if [ "$fuzz_status" -ne 0 ]; then
        tail -40 "$here/build-fuzz/scene-fuzz.log"
        echo "The scene reader's fuzzer found a fault; the input is in build-fuzz/ (scene-crash-*)."
        exit 1
    fi

    # Left out under it: the longest comparisons with the straightforward render
    # (the other builds run them; the threads they use are the other tests'
    # too), and the tests that wait for moments its slowed rounds outlast.
    echo "== The renderer's threads under ThreadSanitizer"
    reconfigure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEK_TSAN=ON \
        -DLUMEK_PERF=OFF -DLUMEK_WINE_TESTS=OFF
    cmake --build "$here/build-tsan" -j "$jobs" --target lumek_thread_tests
    run_sharded tsan "$here/build-tsan/tests/lumek_thread_tests" --gtest_brief=1 \
        --gtest_filter='Render*:FastRender*:LargeScene.Small*:RendererSetup*:ScreenshotRun.Golden*:Stress*:Cycle*:ThreadGroup*:WorkerPool*-StressLog.*:StressRun.AThreadMoved*:FastRender.TheEightShotViews:Render.CullingNeverDrops*'

    echo "== The whole show"
    local show_status=0
    wait "$show_pid" || show_status=$?
    trap - EXIT
    cat "$show_log"
    [ "$show_status" -eq 0 ] || exit "$show_status"

    echo "== Processor time, alone"
    (cd "$here/build" && ctest --output-on-failure -L serial)
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
        install_missing "${run_packages[@]}" "${windows_packages[@]}"
        build_icon_tool
        build_windows
        echo "Built $here/build-windows/lumek.exe (run it on Windows, or: wine build-windows/lumek.exe -shot1)"
        ;;
    arm64)
        install_missing "${arm64_packages[@]}"
        build_arm64
        echo "Built $here/build-arm64/lumek (on this machine: qemu-aarch64 -L /usr/aarch64-linux-gnu build-arm64/lumek -shot1)"
        ;;
    web)
        install_missing "${web_packages[@]}"
        build_web
        echo "Built $here/build-web (serve it: python3 -m http.server -d build-web, then open http://localhost:8000)"
        ;;
    package)
        install_missing "${run_packages[@]}" "${windows_packages[@]}" "${package_packages[@]}"
        build_icon_tool
        build_windows
        build_debian_package
        make_windows_zip
        ;;
    test)
        install_missing "${run_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}" \
            "${wine_packages[@]}" "${arm64_packages[@]}" "${package_packages[@]}" \
            "${package_test_packages[@]}" "${web_packages[@]}" "${web_test_packages[@]}"
        install_node
        # The Debian package builds the program once more, from its own copy
        # of the tree: beside the other builds, at a lower priority, so that
        # it fills the moments they leave a core idle.
        mkdir -p "$here/build-package"
        (renice -n 10 -p $BASHPID >/dev/null; build_debian_package) \
            >"$here/build-package/debian-build.log" 2>&1 &
        deb_pid=$!
        trap 'kill $deb_pid 2>/dev/null || true' EXIT
        reconfigure build -DCMAKE_BUILD_TYPE=Release -DLUMEK_TESTS=ON -DLUMEK_PERF=ON \
            -DLUMEK_WINE_TESTS=ON -DLUMEK_PACKAGE_TESTS=ON -DLUMEK_WEB_TESTS=ON \
            -DLUMEK_PYTHON=ON -DPython3_EXECUTABLE=/usr/bin/python3
        # The Windows program and the web page first: the normal build's tests
        # drive them.
        build_icon_tool
        build_windows
        build_web
        install_page_test_modules
        cmake --build "$here/build" -j "$jobs"
        make_windows_zip
        deb_status=0
        wait "$deb_pid" || deb_status=$?
        trap - EXIT
        cat "$here/build-package/debian-build.log"
        [ "$deb_status" -eq 0 ] || exit "$deb_status"
        run_tests
        ;;
    *)
        echo "usage: $0 run [lumek switches...] | $0 test | $0 windows | $0 arm64 | $0 package | $0 web" >&2
        exit 2
        ;;
esac
