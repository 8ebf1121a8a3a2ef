// The benchmark's 32 frames rendered again and again, every frame checked:
// the robust figures after the report entry and the stress mode both run
// rounds of them, each thread with its own copy of everything.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/round.h"
#include "bench/verify.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"

namespace lumek {

// The generator's state before the first timed frame of a benchmark in a
// fresh process (after the walk and the warm-up), with the warm-up checked.
uint32_t benchStartState(const FrameCheck& check, bool& warmUpRight);

// A steady clock in nanoseconds.
int64_t steadyNanoseconds();

// Rounds on the calling thread for about `seconds`: the median round.
RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check);

// `threads` threads, each rendering whole rounds for about `seconds`; the
// machine's time per round from every thread's median.
RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check);

// Starts body(first) ... body(last - 1), each on a thread of its own, up
// to the first that the system refuses: the caller goes on with those it
// has.
std::vector<std::thread> startThreads(int first, int last, const std::function<void(int)>& body);

// Whole lines to one stream (stderr), from any thread.
class LineLog {
  public:
    explicit LineLog(std::ostream* out) : out_(out) {}
    void write(const std::string& line);

  private:
    std::ostream* out_;
    std::mutex mutex_;
};

// The median of some durations (the mean of the middle two for an even
// count); 0 for none.
double median(std::vector<double> values);

}  // namespace lumek
