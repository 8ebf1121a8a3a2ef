#include "app/program.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/interactive.h"
#include "app/state.h"
#include "bench/bench.h"
#include "display/platform.h"
#include "render/random.h"
#include "shots/png.h"
#include "shots/shots.h"

namespace lumek {

const char* usageText() {
    return "Usage: lumek [switches]\n"
           "\n"
           "Without a mode switch lumek plays its 312-second light show fullscreen.\n"
           "\n"
           "Modes:\n"
           "  -bench         time a processor walk and 32 renders, append to bench.txt\n"
           "  -shot1..-shot8 write 1024x768 raw RGB pictures of the eight fixed views\n"
           "  -png           with -shot...: also write each picture as a PNG\n"
           "  --help         print this text\n"
           "\n"
           "Settings of the show (switches are found anywhere in the text):\n"
           "  -i             nearest-texel filtering instead of linear\n"
           "  -b16           16-bit colour instead of 32\n"
           "  -s1 -s2 -s3 -s4  shrink the picture by 0.75, 0.5, 0.33, 0.25 (they combine)\n"
           "  -t1..-t5       render size 32, 64 (default), 128, 256, 512\n"
           "  -r1..-r5       screen 320x240, 400x300, 640x480 (default), 800x600, 1024x768\n";
}

int runProgram(const char* commandLine) {
    if (std::strstr(commandLine, "--help") != nullptr) {
        std::fputs(usageText(), stdout);
        if (!pngAvailable()) std::fputs("\n-png is not available in this build.\n", stdout);
        return 0;
    }
    settings = Settings{};
    applyCommandLine(commandLine, settings);

    BenchEnvironment bench{sceneLibrary, renderSlots, programRandom(), elapsedMs, lastTickMs};
    bench.clockMs = display::clockMs;
    bench.out = &std::cout;
    bench.err = &std::cerr;
    if (const auto status = BenchmarkRun(commandLine, bench)) return *status;

    ShotEnvironment shots{sceneLibrary, renderSlots, programRandom(), std::cout, std::cerr};
    if (const auto status = ScreenshotRun(commandLine, shots)) return *status;

    return runInteractive();
}

}  // namespace lumek
