// What the stability runs (-stress and -cycle, bench/stress.cpp) share:
// the figures of each processor and thread, kept where a thread that hangs
// can keep them alive, and the session around the threads: starting them,
// the progress line, clocks and temperatures over time, the stall
// watchdog, stopping them and the summary's common parts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bench/rounds.h"
#include "bench/stress.h"
#include "bench/stress_log.h"
#include "bench/throughput.h"
#include "os/threads.h"
#include "util/progress.h"

namespace lumek::stability {

// kMoved: bound, until its affinity was changed from outside.
enum Binding : int { kPending, kBound, kRefused, kUnbound, kMoved };

// One processor's figures: one thread's in -stress, one core's in -cycle;
// each on a cache line of its own.
struct alignas(64) Slot {
    std::atomic<uint64_t> frames{0};
    std::atomic<uint64_t> rounds{0};
    std::atomic<uint64_t> wrong{0};
    std::atomic<int64_t> busyNs{0};  // time spent rendering there
    // The latest clock estimate and the lowest and highest so far, written
    // by the thread there; 0 before the first.
    std::atomic<double> clockMHz{0}, clockLow{0}, clockHigh{0};
};

// One thread's state.
struct alignas(64) Worker {
    std::atomic<int> slot{0};  // where its frames count now
    std::atomic<int> binding{kPending};
    std::atomic<bool> measure{true};  // estimate the clock before the next round
    std::atomic<uint64_t> moves{0};   // -cycle: cores left so far
    std::atomic<int64_t> visitStartNs{0};
    std::atomic<bool> done{false};
};

// Everything the threads use, shared with them: a thread that hangs is
// left behind when the run ends, and keeps this alive.
struct Shared {
    // `processors`: each slot's processor, or none when the threads are
    // not bound.
    Shared(const StressEnvironment& env, const std::vector<int>& processors, int slotCount,
           int workerCount, bool cycle);

    // A slot's name in reports: its processor when its thread is bound
    // there, else the thread's number.
    std::string name(int slot) const;

    std::vector<Slot> slots;
    std::vector<Worker> workers;
    std::vector<int> processorOf;  // each slot's processor, -1 when none
    std::vector<std::string> processorNames;
    bool cycle;
    std::atomic<bool> stop{false};
    std::atomic<int> refused{-1};  // a processor that would not take the thread
    std::atomic<bool> memoryShort{false};
    std::mutex memoryMutex;
    std::string memoryText;  // under memoryMutex
    FrameCheck check;        // names the processor of each wrong frame
    LineLog log;
    std::function<bool(int)> pin;
    std::function<bool(int)> stillPinned;
    std::function<double()> measureClock;
    uint32_t startState = 0;
    bool warmUpRight = true;
};

// Marks a thread done however its work ends.
struct DoneOnExit {
    Worker& worker;
    ~DoneOnExit() { worker.done.store(true); }
};

// The thread's own copy of everything; none when memory ran out (which
// ends the run).
std::unique_ptr<BenchWorker> makeWorker(Shared& s);

// Whether the thread is still where its frames are counted, bound to
// `processor` alone; once its affinity was changed from outside (taskset
// -a -p) it says so. -stress's thread is then named by its number, since
// its frames may run anywhere; -cycle's is bound to its core again, as it
// binds itself from core to core anyway (false when that is refused).
bool keepBinding(Shared& s, Worker& w, int slot, int processor);

// One round counted on `slot`, the clock estimated first when asked for.
void renderOn(Shared& s, Worker& w, BenchWorker& bench, int slot, uint64_t round);

// "2.91-2.95 GHz", or one figure when both round alike; from MHz.
std::string gigahertz(double low, double high);
// "every frame was right.\n", or "3 frames were WRONG.\n".
std::string verdict(uint64_t wrong);

// The least and the most of some figures above 0.
struct Range {
    double low = 0, high = 0;
    bool known() const { return high > 0; }
    void add(double value) {
        if (value <= 0) return;
        if (!known() || value < low) low = value;
        if (value > high) high = value;
    }
};

struct Totals {
    uint64_t frames = 0, rounds = 0, wrong = 0;
};

class Session {
  public:
    Session(StressEnvironment& env, std::shared_ptr<Shared> shared);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the threads; those that could not start count as done.
    int start(std::function<void(int)> body);
    const std::string& shortfall() const { return threads_.shortfall(); }
    // Waits until every running thread has tried to bind itself.
    void awaitBinding();

    // "Clocks: ... Temperatures: ..." for the heading.
    std::string sensorsText() const;

    // Watches until the run is to end: a stop request, the set length
    // (`length` seconds; 0 for none), memory running out, a processor
    // that refused the thread or a lost output. `report` is called every
    // progress interval; intervals missed while the process was paused are
    // not caught up.
    void watch(double length, const std::function<void(double now)>& report);

    // Stops the threads and waits for each to finish its round; one that
    // stalls meanwhile is given up on (left running while the program
    // ends). Then the progress line ends.
    void stop();

    double elapsed() const { return elapsed_; }
    // The part of `elapsed` (or of `now`) that the process ran, not paused.
    double running() const { return elapsed_ - paused_; }
    double runningAt(double now) const { return now - paused_; }
    double paused() const { return paused_; }
    // "  paused 0:20" when the process was paused since the last progress
    // line, for the next one.
    std::string pausedNote() const;
    bool finishedAsSet() const { return finishedAsSet_; }
    // The run ended because it was asked to stop, or because its output
    // was lost.
    bool stoppedByRequest() const { return stoppedByRequest_; }
    bool outputLost() const { return outputLost_; }
    progress::Line& line() { return line_; }
    Totals totals() const;

    // "  clock 2.91-2.95 GHz  cpufreq 2.80-3.00 GHz  71 °C" for these slots
    // now; the run's extremes follow.
    std::string machineNow(const std::vector<int>& slots);
    // Each slot's frames per second since the last progress line.
    std::vector<double> intervalRates(double now);

    // One row per slot, "  processor 1 (core 1; package 0): ", `what` it
    // did, and its wrong frames and stalls.
    std::string slotRows(const std::vector<int>& slots,
                         const std::function<std::string(int slot)>& what) const;
    // The clock range a slot showed over the run, ", clock 2.91-2.95 GHz".
    std::string slotClock(int slot) const;
    // "Clock 2.90-2.95 GHz (estimated), cpufreq ...; highest temperature
    // 78 °C (k10temp Tctl).", and with `throughput` the first and the last
    // minute's.
    std::string machineSummary(bool throughput) const;

    // The log's first line, once the threads are bound (their names are
    // known then). `perCoreSeconds`: -cycle's; 0 for -stress.
    void logStart(const std::string& mode, double lengthSeconds, double perCoreSeconds);
    // The log's last line, with the run's `status`, which it returns: 1
    // instead of 0 when the log was lost (on the way or now). `rate`: a
    // slot's frames per second over the run.
    int logSummary(int status, const std::function<double(int slot)>& rate);

    // 1 when memory ran out, 2 when a frame was wrong, 3 when none was but
    // a thread stalled, 0 when all was well.
    int status() const;
    // When memory ran out for a thread's copy: says so on the error stream.
    bool reportMemoryShort() const;

  private:
    struct Watch {
        uint64_t frames = 0;
        double since = 0;  // when its frames last changed
        bool stalled = false;
    };

    double seconds() const {
        if (env_.clock) return env_.clock() - clockStart_;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    bool allDone() const;
    // Each slot's name and processor, for the log.
    std::vector<StressLogSlot> logSlots() const;
    // One line of the log: each slot's figures since the line before.
    void logInterval(double now);
    // Notes a watcher step: one that came late by more than the pause time
    // is no thread's fault, and when the process was continued meanwhile it
    // stood still: that time is paused.
    void tick(double now);
    uint64_t workerFrames(size_t t) const;
    // A thread that finishes no frame for the stall time is reported once,
    // with its processor, and again when it goes on.
    void checkStalls(double now);

    StressEnvironment& env_;
    std::shared_ptr<Shared> s_;
    os::ThreadGroup threads_;
    int running_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double clockStart_ = 0;  // env_.clock() at the start
    progress::Line line_;
    ThroughputHistory history_;
    std::vector<Watch> watch_;
    std::vector<int> stallsOf_;  // each slot's stalls
    std::vector<uint64_t> lastFrames_;
    StressLog runLog_;
    std::vector<uint64_t> logFrames_, logWrong_;  // each slot's at the last log line
    double lastLog_ = 0, pausedSinceLog_ = 0;
    Range runCpufreq_;
    std::optional<os::Temperature> hottest_;
    double lastTick_ = 0, lastReport_ = 0, elapsed_ = 0;
    double paused_ = 0, pausedSinceReport_ = 0;
    unsigned continued_ = 0;  // the process's continues seen so far
    int stalls_ = 0, leftBehind_ = 0;
    bool finishedAsSet_ = false, stoppedByRequest_ = false, outputLost_ = false;
};

}  // namespace lumek::stability
