// One round of the benchmark: its 32 timed frames rendered from the start
// state, every frame checked. Needs no threads, so the web page's workers
// render the very same rounds as the desktop's threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/statistics.h"
#include "bench/verify.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"

namespace lumek {

// What renders one round of frames on one thread, checking each.
class RoundWorker {
  public:
    virtual ~RoundWorker() = default;
    // Renders and checks the round's frames; returns how many were wrong.
    // `frameDone` (if set) counts each frame.
    virtual int renderRound(const FrameCheck& check, int thread, uint64_t round,
                            std::atomic<uint64_t>* frameDone = nullptr) = 0;
};

// One thread's scenes, 128 x 128 image, one-thread renderer and generator.
class BenchWorker : public RoundWorker {
  public:
    // `startState`: the generator's state before the first timed frame.
    explicit BenchWorker(uint32_t startState);
    ~BenchWorker() override;
    BenchWorker(const BenchWorker&) = delete;
    BenchWorker& operator=(const BenchWorker&) = delete;

    // Renders and checks the 32 timed frames from the start state; returns
    // how many were wrong. `frameDone` (if set) counts each frame.
    int renderRound(const FrameCheck& check, int thread, uint64_t round,
                    std::atomic<uint64_t>* frameDone = nullptr) override;

  private:
    SceneLibrary library_;
    FrameImage image_;
    RandomStream random_;
    RayRenderer renderer_;
    uint32_t startState_;
};

// The render phase that rates 1: 33,908 ms for the 32 frames.
constexpr double kReferenceRenderMs = 33908.0;

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

// Figures from their four numbers (no per-thread rounds): the web page's,
// which keeps its rounds in JavaScript.
inline RoundFigures roundFigures(int threads, uint64_t rounds, uint64_t wrongFrames,
                                 double msPerRound) {
    RoundFigures f;
    f.threads = threads;
    f.rounds = rounds;
    f.wrongFrames = wrongFrames;
    f.msPerRound = msPerRound;
    return f;
}

// The figures from each thread's round times: every summary, the count of
// rounds and wrong frames, the largest spread and the machine's time per round.
void summarizeFigures(RoundFigures& figures);

// "<label>: 44.84 ms per 32 frames<extra>, rating 756.2 Tq7-Marks".
std::string ratingLine(const std::string& label, const RoundFigures& f, const std::string& extra);

// "; 2 wrong frames: not valid", or nothing when every frame was right.
std::string notValidNote(uint64_t wrongFrames);

// The line that says the one-thread rounds spread more than is quiet, with
// its line end; nothing when they did not.
std::string noiseLine(double spread);

// The run's score in one line (no line end): both ratings, which way is
// better, and whether each set of rounds was quiet; an all-threads figure
// below one thread's is flagged with its likely cause.
std::string scoreLine(const RoundFigures& one, const RoundFigures& all);

// The one-thread figure's line, as the benchmark prints it (no line end):
// "One thread: 44.84 ms per 32 frames (median of 45 rounds), rating ...".
std::string oneThreadLine(const RoundFigures& one);

// The figure of every thread side by side, with its speed-up over one
// thread's time per round. `unit` names what ran side by side: "thread"
// on the desktop ("All threads: ... on 2 threads (87 rounds) ..."), or
// "worker" in the web page.
std::string allThreadsLine(const RoundFigures& all, double oneMsPerRound,
                           const char* unit = "thread");

}  // namespace lumek
