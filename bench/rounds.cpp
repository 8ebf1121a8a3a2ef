#include "bench/rounds.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "bench/entry.h"
#include "os/processors.h"
#include "os/threads.h"
#include "shots/table.h"

namespace lumek {

uint32_t benchStartState(const FrameCheck& check, bool& warmUpRight) {
    SceneLibrary library;
    buildSceneLibrary(library);
    FrameImage image(kBenchImageSize, kBenchImageSize, kBenchAspect);
    RandomStream random;
    random.advance(kWalkSteps);
    RayRenderer renderer(&image, random, 1);
    renderShot(kShotCount, library, renderer);
    warmUpRight = check.check(image, 0, 0, benchFrame(0));
    deleteSceneShapes(library);
    return random.state();
}

int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

// Rounds until the deadline (at least one), each one's duration in
// nanoseconds.
void timeRounds(RoundWorker& worker, const FrameCheck& check, int thread, int64_t deadline,
                std::vector<int64_t>& durations, uint64_t& wrong) {
    for (uint64_t round = 1;; ++round) {
        const int64_t start = steadyNanoseconds();
        wrong += static_cast<uint64_t>(worker.renderRound(check, thread, round));
        const int64_t end = steadyNanoseconds();
        durations.push_back(end - start);
        if (end >= deadline) break;
    }
}

int64_t nanoseconds(double seconds) { return static_cast<int64_t>(seconds * 1e9); }

}  // namespace

void LineLog::write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out_ == nullptr) return;
    if (line_ != nullptr)
        line_->message(out_, line);
    else
        *out_ << line << std::flush;
}

void LineLog::around(progress::Line* line) {
    std::lock_guard<std::mutex> lock(mutex_);
    line_ = line;
}

void LineLog::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ = nullptr;
    line_ = nullptr;
}

RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check) {
    // One thread's figure is its median round.
    return measureAllThreads(startState, 1, seconds, check);
}

RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check, const std::vector<int>& processors) {
    return measureAllThreads(
        [startState]() -> std::unique_ptr<RoundWorker> {
            return std::make_unique<BenchWorker>(startState);
        },
        threads, seconds, check, processors);
}

RoundFigures measureAllThreads(const MakeRoundWorker& makeWorker, int threads, double seconds,
                               const FrameCheck& check, const std::vector<int>& processors) {
    std::vector<ThreadRounds> slots(static_cast<size_t>(std::max(threads, 1)));
    std::atomic<int> ready{0};
    std::atomic<int64_t> deadline{0};  // 0 until every thread is ready
    std::atomic<bool> failed{false};   // a thread could not make its copy
    std::atomic<bool> unpinned{false};

    // Every thread binds itself (when asked) and makes its own copy first;
    // the clock starts once all have. A thread whose copy fails (memory)
    // lets the others go without rounds, and join() throws its exception.
    // Unbound, the calling thread is thread 0; bound threads are helpers
    // only, so that the caller's own affinity stays as it was.
    const bool callerWorks = processors.empty();
    int started = 0;
    auto startClock = [&] {
        while (ready.load() < started) std::this_thread::yield();
        deadline.store(steadyNanoseconds() + nanoseconds(seconds));
    };
    auto body = [&](int thread) {
        ThreadRounds& slot = slots[static_cast<size_t>(thread)];
        slot.thread = thread;
        if (static_cast<size_t>(thread) < processors.size()) {
            if (os::pinThread(processors[static_cast<size_t>(thread)]))
                slot.processor = processors[static_cast<size_t>(thread)];
            else
                unpinned.store(true);
        }
        std::unique_ptr<RoundWorker> worker;
        try {
            slot.roundNs.reserve(4096);
            worker = makeWorker();
        } catch (...) {
            failed.store(true);
            ready.fetch_add(1);
            throw;
        }
        ready.fetch_add(1);
        if (thread == 0 && callerWorks) startClock();
        int64_t until;
        while ((until = deadline.load()) == 0 && !failed.load()) std::this_thread::yield();
        if (failed.load()) return;
        timeRounds(*worker, check, thread, until, slot.roundNs, slot.wrongFrames);
    };

    os::ThreadGroup helpers;
    if (callerWorks) {
        started = helpers.start(1, threads, body) + 1;
        body(0);
    } else {
        started = helpers.start(0, threads, body);
        if (started > 0) startClock();
    }
    helpers.join();

    RoundFigures figures;
    figures.threads = started;
    figures.pinned = !processors.empty() && !unpinned.load();
    for (int t = 0; t < started; ++t) figures.perThread.push_back(std::move(slots[static_cast<size_t>(t)]));
    summarizeFigures(figures);
    return figures;
}

}  // namespace lumek
