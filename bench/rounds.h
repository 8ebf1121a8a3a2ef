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

#include "bench/statistics.h"
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

// One thread's rounds.
struct ThreadRounds {
    int thread = 0;
    int processor = -1;            // the one it was bound to, or -1
    std::vector<int64_t> roundNs;  // every round's time, in order
    uint64_t wrongFrames = 0;
    RoundSummary summary;
};

struct RoundFigures {
    int threads = 0;
    uint64_t rounds = 0;  // complete rounds on all threads
    uint64_t wrongFrames = 0;
    double msPerRound = 0;  // the machine's time per 32 frames
    // The largest robust spread of any thread's rounds.
    double spread = 0;
    bool pinned = false;  // every thread was bound to its processor
    std::vector<ThreadRounds> perThread;
};

// Rounds on the calling thread for about `seconds`: the median round.
RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check);

// `threads` threads, each rendering whole rounds for about `seconds`; the
// machine's time per round from every thread's median (1 / the sum of
// 1 / median). With `processors`, thread i is bound to processors[i].
RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check, const std::vector<int>& processors = {});

// Whole lines to one stream (stderr), from any thread.
class LineLog {
  public:
    explicit LineLog(std::ostream* out) : out_(out) {}
    void write(const std::string& line);

  private:
    std::ostream* out_;
    std::mutex mutex_;
};

}  // namespace lumek
