// The stability run: every usable thread renders the benchmark's 32 frames
// round after round, each frame checked against its known-good picture,
// until it is asked to stop.
#pragma once

#include <functional>
#include <optional>
#include <ostream>

#include "bench/rounds.h"

namespace lumek {

struct StressEnvironment {
    int threads = 1;
    std::ostream* out = nullptr;  // progress and the summary
    std::ostream* err = nullptr;  // each wrong frame as it is found
    bool terminal = false;        // out is a terminal: one line updated in place
    std::function<bool()> stopRequested;
    double progressSeconds = 10;  // between plain progress lines
    double terminalSeconds = 1;   // between redraws of the terminal's line
    // Tests only: may change a frame before it is checked.
    decltype(FrameCheck::tamper) tamper;
};

// Runs the stress mode when the text asks for it ("-stress" anywhere) and
// returns the exit status once stopped: 0 when every frame was right, 2
// when any was wrong. Nothing when it was not asked for.
std::optional<int> StressRun(const char* commandLine, StressEnvironment& env);

}  // namespace lumek
