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
#include <vector>

#include "bench/verify.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"

namespace lumek {

// One thread's scenes, 128 x 128 image, one-thread renderer and generator.
class BenchWorker {
  public:
    // `startState`: the generator's state before the first timed frame.
    explicit BenchWorker(uint32_t startState);
    ~BenchWorker();
    BenchWorker(const BenchWorker&) = delete;
    BenchWorker& operator=(const BenchWorker&) = delete;

    // Renders and checks the 32 timed frames from the start state; returns
    // how many were wrong. `frameDone` (if set) counts each frame.
    int renderRound(const FrameCheck& check, int thread, uint64_t round,
                    std::atomic<uint64_t>* frameDone = nullptr);

  private:
    SceneLibrary library_;
    FrameImage image_;
    RandomStream random_;
    RayRenderer renderer_;
    uint32_t startState_;
};

// The generator's state before the first timed frame of a benchmark in a
// fresh process (after the walk and the warm-up), with the warm-up checked.
uint32_t benchStartState(const FrameCheck& check, bool& warmUpRight);

// A steady clock in nanoseconds.
int64_t steadyNanoseconds();

struct RoundFigures {
    int threads = 0;
    uint64_t rounds = 0;  // complete rounds on all threads
    uint64_t wrongFrames = 0;
    double msPerRound = 0;  // the machine's time per 32 frames
};

// Rounds on the calling thread for about `seconds`: the median round.
RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check);

// `threads` threads, each rendering whole rounds for about `seconds`; the
// machine's time per round from every thread's median.
RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check);

// Whole lines to one stream (stderr), from any thread.
class LineLog {
  public:
    explicit LineLog(std::ostream* out) : out_(out) {}
    void write(const std::string& line);
    // Nothing more is written from now on (the stream may go away while a
    // thread that was given up on still runs).
    void close();

  private:
    std::ostream* out_;
    std::mutex mutex_;
};

// The median of some durations (the mean of the middle two for an even
// count); 0 for none.
double median(std::vector<double> values);

}  // namespace lumek
