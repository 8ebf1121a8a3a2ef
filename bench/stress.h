// The stability runs. "-stress": every usable processor renders the
// benchmark's 32 frames round after round, one thread bound to each, every
// frame checked, until it is asked to stop or for a set number of minutes.
// "-cycle": one thread does the same on one physical core at a time,
// moving from core to core, so that each runs alone at the clocks a single
// busy core reaches. Both name the processor of every fault and watch the
// machine's clocks and temperatures over time.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "bench/rounds.h"
#include "os/machine.h"
#include "os/processors.h"
#include "os/sensors.h"
#include "os/system.h"

namespace lumek {

struct StressEnvironment {
    int threads = 1;              // -stress: how many
    std::ostream* out = nullptr;  // progress and the summary
    std::ostream* err = nullptr;  // each fault as it is found
    bool terminal = false;        // out is a terminal: one line updated in place
    int columns = 0;              // the terminal's width, 0 when not known
    std::function<int()> measureColumns;  // the width now, when it may change
    std::function<bool()> stopRequested;
    // True once `out` cannot be written any more (its reader has gone): the
    // run ends, with its summary on `err`.
    std::function<bool()> outputLost;
    double progressSeconds = 10;  // between plain progress lines
    double terminalSeconds = 1;   // between redraws of the terminal's line
    // The run's log, appended to ("stress.jsonl"); none when empty.
    std::string logPath;
    double logSeconds = 10;   // between its lines
    os::MachineInfo machine;  // for its first line
    std::string version;

    // The processors the threads may be bound to (by id) and where they
    // sit; without any the threads of -stress are not bound (and named by
    // number), and -cycle cannot run.
    std::vector<int> processors;
    os::Topology topology;
    std::function<bool(int processor)> pin = os::pinThread;  // binds the calling thread
    // Whether the calling thread is still bound there alone.
    std::function<bool(int processor)> stillPinned = os::stillPinnedTo;
    os::Sensors sensors;                                     // none by default
    std::function<double()> measureClock = os::estimateClockMHz;

    // Tests only. `tamper` may change a frame before it is checked, or
    // hold its thread; its `thread` is the thread's number in -stress and
    // the core's place in the round in -cycle.
    decltype(FrameCheck::tamper) tamper;
    double timeScale = 1;      // real seconds per second of a set length
    double stallSeconds = 10;  // no frame for this long is a stall
    // How often the process was continued after a stop (SIGSTOP, then
    // SIGCONT): the time the watcher stood still then was paused, not run.
    // A watcher held up otherwise (a write to a terminal that is not read)
    // is no pause: the threads went on.
    std::function<unsigned()> continued = os::continuedCount;
    double pauseSeconds = 1;  // a watcher late by this much may have been paused
    // The watcher's clock in seconds, from any start; the steady clock when
    // empty. Tests give one driven by frames, so that rates over time do
    // not depend on how busy the machine is.
    std::function<double()> clock;
};

// Runs the stress mode when the text asks for it ("-stress" anywhere;
// "-stress30" or "-stress30m": for 30 minutes, "-stress90s", "-stress2h")
// and returns the exit status once it ends:
// 0 when every frame was right, 2 when any was wrong, 3 when none was but
// a thread stalled (finished no frame for 10 seconds), 1 when memory ran
// out or `out` was lost, 130 when a set length was stopped before its end
// (a run without one is ended by a stop as it should be: 0). A log that
// could not be written turns a 0 into 1: its data are lost. Nothing when
// it was not asked for.
std::optional<int> StressRun(const char* commandLine, StressEnvironment& env);

// The same for the core cycle ("-cycle"; "-cycle10" or "-cycle10s": 10
// seconds on each core, "-cycle2m", 60 seconds without a length); 1 also when its thread cannot be bound, and
// 130 when it was stopped before every core had its time once. A length that
// is none ("-stress0", "-stress=5", "-cycle30x") is said and ends with 1
// before anything runs.
std::optional<int> CycleRun(const char* commandLine, StressEnvironment& env);

}  // namespace lumek
