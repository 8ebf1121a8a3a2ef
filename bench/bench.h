// The benchmark mode: a timed processor walk and 32 timed renders of the
// shot table's views at 128 x 128, reported in "bench.txt"; then every
// frame's check and the robust one-thread and all-thread figures on stdout.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bench/entry.h"
#include "bench/report.h"
#include "bench/result.h"
#include "bench/rounds.h"
#include "render/random.h"
#include "render/slots.h"
#include "scenes/library.h"

namespace lumek {

struct BenchEnvironment {
    BenchEnvironment(SceneLibrary& library, RenderSlots& slots, RandomStream& random,
                     uint32_t& elapsedMs, uint32_t& lastTickMs)
        : library(library),
          slots(slots),
          random(random),
          elapsedMs(elapsedMs),
          lastTickMs(lastTickMs) {}

    SceneLibrary& library;
    RenderSlots& slots;
    RandomStream& random;
    uint32_t& elapsedMs;   // holds renderMs afterwards
    uint32_t& lastTickMs;  // holds the render phase's start
    std::function<uint32_t()> clockMs = steadyClockMs;
    std::function<LocalTime()> localTime = currentLocalTime;
    const char* reportPath = "bench.txt";
    // The result record's file (each run appends one line); none when null.
    const char* recordPath = "bench.jsonl";
    std::ostream* out = nullptr;  // the entry, the check and the figures (with -json: the record)
    std::ostream* err = nullptr;  // a file that cannot be written, wrong frames
    // For the record: the program's version, the machine it runs on, its
    // label, and the clock of its time stamp.
    std::string version;
    os::MachineInfo machine;
    std::string label;  // the machine's name in tables and plots
    std::function<std::string()> utcNow = lumek::utcNow;
    // One usable processor of each physical core: a third rating, one bound
    // thread per core, where cores have several threads.
    std::vector<int> coreProcessors;
    // Told of every frame rendered for the entry (row number; false for the
    // warm-up).
    std::function<void(int row, bool timed)> frameRendered;
    // The robust figures: how long each measurement runs, and on how many
    // threads the all-thread one runs (0 leaves them out).
    double roundSeconds = 2.0;
    int threads = 1;
    // Tests only: may replace the measured round times of the one-thread
    // ("one") and all-threads ("all") rounds before figures are made of them.
    std::function<void(const char* figure, std::vector<ThreadRounds>& threads)> roundTimes;
    // Tests only: may change a frame before it is checked.
    decltype(FrameCheck::tamper) tamper;
};

// The shader the renderers of this run use: the widest this processor runs.
std::string rowShaderName();

// Runs the benchmark when the text asks for it ("-bench" anywhere) and
// returns the exit status: 0, 1 when "bench.txt" or "bench.jsonl" could not
// be written, 2 when a frame was wrong. Nothing when it was not asked for.
// With "-json" the people's lines go to `err` and `out` gets the record.
// The people's lines end with the score line.
std::optional<int> BenchmarkRun(const char* commandLine, BenchEnvironment& env);

}  // namespace lumek
