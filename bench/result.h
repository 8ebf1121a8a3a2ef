// Everything one benchmark run found, as its result record holds it: the
// program, the time, what was computed, the machine, the entry's figures,
// the checks and every round.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/report.h"
#include "bench/round.h"
#include "os/machine.h"

namespace lumek {

// The work of a benchmark of a scene file: the scene named by the SHA-256
// of its canonical text, the picture's size and the frames of a round.
struct SceneWorkload {
    std::string sha256;
    std::string title;
    int32_t width = 0;
    int32_t height = 0;
    int frames = 0;
};

// What the ratings measure: raised whenever a change can move them (the
// row shaders, the renderer, the workload, the rating base), so that a
// record is only ever compared with records of the same measure. 1: every
// record up to and including program version 1.1.0, whose records do not
// carry the number.
inline constexpr int kBenchmarkVersion = 1;

struct BenchResult {
    std::string version;    // the program's
    std::string compiler;   // "GCC 12.2.0"
    std::string target;     // "linux-x86_64"
    std::string rowShader;  // the one that rendered
    std::string utc;        // when the record was made, "2026-12-08T12:34:56Z"
    std::string label;      // the machine as its owner names it (the host name by default)
    LocalTime local;        // the entry's date and time
    uint64_t workloadId = 0;
    os::MachineInfo machine;
    // What a web browser says of itself (none elsewhere).
    std::string userAgent;
    int hardwareConcurrency = 0;
    uint32_t renderMs = 0;
    uint32_t cpuMs = 0;
    uint64_t framesChecked = 0;
    uint64_t wrongFrames = 0;
    RoundFigures oneThread;
    RoundFigures allThreads;
    // One bound thread on each physical core, where cores have more than
    // one hardware thread.
    std::optional<RoundFigures> physicalCores;
    // A scene file's benchmark (the built-in one has none).
    std::optional<SceneWorkload> scene;
};

// The compiler and the target this program was built by and for.
std::string compilerName();
std::string targetName();

// Now in UTC, ISO 8601 to the second.
std::string utcNow();

}  // namespace lumek
