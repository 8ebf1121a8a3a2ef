#include "bench/rounds.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "bench/entry.h"
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

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

// Rounds until the deadline (at least one), each one's duration in
// milliseconds.
void timeRounds(BenchWorker& worker, const FrameCheck& check, int thread, int64_t deadline,
                std::vector<double>& durations, uint64_t& wrong) {
    for (uint64_t round = 1;; ++round) {
        const int64_t start = steadyNanoseconds();
        wrong += static_cast<uint64_t>(worker.renderRound(check, thread, round));
        const int64_t end = steadyNanoseconds();
        durations.push_back(static_cast<double>(end - start) / 1e6);
        if (end >= deadline) break;
    }
}

int64_t nanoseconds(double seconds) { return static_cast<int64_t>(seconds * 1e9); }

}  // namespace

std::vector<std::thread> startThreads(int first, int last, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int t = first; t < last; ++t) {
        try {
            threads.emplace_back(body, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    return threads;
}

void LineLog::write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out_ != nullptr) *out_ << line << std::flush;
}

RoundFigures measureOneThread(uint32_t startState, double seconds, const FrameCheck& check) {
    // One thread's figure is its median round.
    return measureAllThreads(startState, 1, seconds, check);
}

RoundFigures measureAllThreads(uint32_t startState, int threads, double seconds,
                               const FrameCheck& check) {
    struct Slot {
        std::vector<double> durations;
        uint64_t wrong = 0;
    };
    std::vector<Slot> slots(static_cast<size_t>(std::max(threads, 1)));
    std::atomic<int> ready{0};
    std::atomic<int64_t> deadline{0};  // 0 until every thread is ready

    int started = 1;
    // Every thread makes its own copy first; the clock starts once all
    // have, on the calling thread.
    auto body = [&](int thread) {
        Slot& slot = slots[static_cast<size_t>(thread)];
        slot.durations.reserve(4096);
        BenchWorker worker(startState);
        ready.fetch_add(1);
        if (thread == 0) {
            while (ready.load() < started) std::this_thread::yield();
            deadline.store(steadyNanoseconds() + nanoseconds(seconds));
        }
        int64_t until;
        while ((until = deadline.load()) == 0) std::this_thread::yield();
        timeRounds(worker, check, thread, until, slot.durations, slot.wrong);
    };

    std::vector<std::thread> helpers = startThreads(1, threads, body);
    started = static_cast<int>(helpers.size()) + 1;
    body(0);
    for (std::thread& h : helpers) h.join();

    RoundFigures figures;
    figures.threads = started;
    double roundsPerMs = 0;
    for (int t = 0; t < started; ++t) {
        const Slot& slot = slots[static_cast<size_t>(t)];
        figures.rounds += slot.durations.size();
        figures.wrongFrames += slot.wrong;
        const double m = median(slot.durations);
        if (m > 0) roundsPerMs += 1 / m;
    }
    figures.msPerRound = roundsPerMs > 0 ? 1 / roundsPerMs : 0;
    return figures;
}

}  // namespace lumek
