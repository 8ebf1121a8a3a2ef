#include "bench/stress.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "os/threads.h"
#include "render/bytes.h"
#include "util/switches.h"

namespace lumek {

namespace {

// One thread's counters, each on a cache line of its own.
struct alignas(64) Counters {
    std::atomic<uint64_t> frames{0};
    std::atomic<uint64_t> rounds{0};
    std::atomic<uint64_t> wrong{0};
};

std::string clockText(double seconds) {
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

struct Totals {
    uint64_t frames = 0, rounds = 0, wrong = 0;
};

Totals sum(const std::vector<Counters>& counters) {
    Totals t;
    for (const Counters& c : counters) {
        t.frames += c.frames.load(std::memory_order_relaxed);
        t.rounds += c.rounds.load(std::memory_order_relaxed);
        t.wrong += c.wrong.load(std::memory_order_relaxed);
    }
    return t;
}

std::string progressText(double seconds, const Totals& t) {
    char text[160];
    std::snprintf(text, sizeof text, "%s  rounds %llu  frames %llu  %.0f frames/s  errors %llu",
                  clockText(seconds).c_str(), static_cast<unsigned long long>(t.rounds),
                  static_cast<unsigned long long>(t.frames),
                  seconds > 0 ? static_cast<double>(t.frames) / seconds : 0.0,
                  static_cast<unsigned long long>(t.wrong));
    return text;
}

}  // namespace

std::optional<int> StressRun(const char* commandLine, StressEnvironment& env) {
    if (!switches::asks(commandLine, switches::kStress)) return std::nullopt;
    std::ostream& out = *env.out;

    LineLog log(env.err);
    FrameCheck check;
    check.tamper = env.tamper;
    check.wrong = [&log](const WrongFrame& w) {
        std::ostringstream line;
        line << "lumek: wrong frame on thread " << w.thread << ", round " << w.round << ": row "
             << w.frame.row << ", repetition " << w.frame.repetition << ": expected "
             << hashHex(w.expected) << ", got " << hashHex(w.actual) << "\n";
        log.write(line.str());
    };

    bool warmUpRight = true;
    const uint32_t startState = benchStartState(check, warmUpRight);

    const int wanted = env.threads > 0 ? env.threads : 1;
    std::vector<Counters> counters(static_cast<size_t>(wanted));
    if (!warmUpRight) counters[0].wrong.fetch_add(1);
    std::atomic<bool> stop{false};

    // Memory that runs out for a thread's copy ends the run.
    std::atomic<bool> memoryShort{false};
    char memoryText[96] = "";
    std::mutex memoryMutex;

    // Each thread makes its own copy of everything, then renders until told
    // to stop; a round in progress is finished first.
    auto body = [&](int thread) {
        Counters& c = counters[static_cast<size_t>(thread)];
        std::unique_ptr<BenchWorker> worker;
        try {
            worker = std::make_unique<BenchWorker>(startState);
        } catch (const std::bad_alloc& e) {
            std::lock_guard<std::mutex> lock(memoryMutex);
            std::snprintf(memoryText, sizeof memoryText, "%s", lumek::memoryText(e));
            memoryShort.store(true);
            return;
        }
        for (uint64_t round = 1; !stop.load(std::memory_order_relaxed); ++round) {
            const int wrong = worker->renderRound(check, thread, round, &c.frames);
            c.wrong.fetch_add(static_cast<uint64_t>(wrong), std::memory_order_relaxed);
            c.rounds.fetch_add(1, std::memory_order_relaxed);
        }
    };
    os::ThreadGroup threads;
    const int running = threads.start(0, wanted, body);
    out << "Stress run on " << running << (running == 1 ? " thread" : " threads")
        << ": the benchmark's 32 frames, round after round, every frame checked. "
           "Stop it with Ctrl+C.\n"
        << std::flush;
    if (running == 0) {
        *env.err << "lumek: no thread could be started (" << threads.shortfall() << ")\n";
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // A terminal gets one line, redrawn every second; anything else a plain
    // line every ten seconds.
    const double every = env.terminal ? env.terminalSeconds : env.progressSeconds;
    double nextReport = every;
    size_t drawn = 0;
    while (!env.stopRequested() && !memoryShort.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double now = seconds();
        if (now < nextReport) continue;
        nextReport += every;
        const std::string text = progressText(now, sum(counters));
        if (env.terminal) {
            out << "\r" << text;
            if (text.size() < drawn) out << std::string(drawn - text.size(), ' ');
            drawn = text.size();
        } else {
            out << text << "\n";
        }
        out << std::flush;
    }
    stop.store(true);
    threads.join();
    if (memoryShort.load()) {
        *env.err << "lumek: " << memoryText << "\n" << std::flush;
        return 1;
    }

    const double elapsed = seconds();
    const Totals t = sum(counters);
    if (env.terminal && drawn > 0) out << "\n";
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.1f",
                  elapsed > 0 ? static_cast<double>(t.frames) / elapsed : 0.0);
    out << "Stopped after " << clockText(elapsed) << ": " << t.rounds << " rounds, " << t.frames
        << " frames on " << running << (running == 1 ? " thread" : " threads") << " (" << rate
        << " frames per second); ";
    if (t.wrong == 0)
        out << "every frame was right.\n";
    else
        out << t.wrong << (t.wrong == 1 ? " frame was" : " frames were") << " WRONG.\n";
    out << std::flush;
    return t.wrong == 0 ? 0 : 2;
}

}  // namespace lumek
