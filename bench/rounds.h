// The benchmark's 32 frames rendered again and again, every frame checked:
// the robust figures after the report entry and the stress mode both run
// rounds of them, each thread with its own copy of everything.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "bench/round.h"
#include "bench/verify.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"
#include "util/progress.h"

namespace lumek {

// The generator's state before the first timed frame of a benchmark in a
// fresh process (after the walk and the warm-up), with the warm-up checked.
uint32_t benchStartState(const FrameCheck& check, bool& warmUpRight);

// A steady clock in nanoseconds.
int64_t steadyNanoseconds();

// Rounds on the calling thread for about `seconds`: the median round.
RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check);

// `threads` threads, each rendering whole rounds for about `seconds`; the
// machine's time per round from every thread's median (1 / the sum of
// 1 / median). With `processors`, thread i is bound to processors[i].
RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check, const std::vector<int>& processors = {});

// The same with workers that `makeWorker` makes, one for each thread on
// that thread (a scene's own frames).
using MakeRoundWorker = std::function<std::unique_ptr<RoundWorker>()>;
RoundFigures measureAllThreads(const MakeRoundWorker& makeWorker, int threads, double seconds,
                               const FrameCheck& check, const std::vector<int>& processors = {});

// Whole lines to one stream (stderr), from any thread.
class LineLog {
  public:
    explicit LineLog(std::ostream* out) : out_(out) {}
    void write(const std::string& line);
    // Lines go round this progress line (cleared before, drawn again
    // after), which may be on the same terminal; none: written as they are.
    void around(progress::Line* line);
    // Nothing more is written from now on (the stream may go away while a
    // thread that was given up on still runs).
    void close();

  private:
    std::ostream* out_;
    progress::Line* line_ = nullptr;
    std::mutex mutex_;
};

}  // namespace lumek
