#include "bench/stress_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <thread>

#include "bench/result.h"
#include "render/bytes.h"

namespace lumek::stability {

namespace {

using progress::fixed;
using progress::plural;

constexpr double kTick = 0.05;  // the watching thread's step, in seconds

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

std::string celsius(double degrees) {
    return fixed(degrees, 0) +
           " \xC2\xB0"
           "C";
}

}  // namespace

Shared::Shared(const StressEnvironment& env, const std::vector<int>& processors, int slotCount,
               int workerCount, bool cycleMode)
    : slots(static_cast<size_t>(slotCount)),
      workers(static_cast<size_t>(workerCount)),
      processorOf(static_cast<size_t>(slotCount), -1),
      processorNames(static_cast<size_t>(slotCount)),
      cycle(cycleMode),
      log(env.err),
      pin(env.pin),
      stillPinned(env.stillPinned),
      measureClock(env.measureClock) {
    for (size_t i = 0; i < processors.size() && i < processorOf.size(); ++i) {
        processorOf[i] = processors[i];
        processorNames[i] = env.topology.find(processors[i]).describe();
    }
    check.tamper = env.tamper;
    check.wrong = [this](const WrongFrame& w) {
        std::ostringstream line;
        // Round 0 is the warm-up, on the starting thread.
        line << "lumek: wrong frame on " << (w.round == 0 ? "thread 0" : name(w.thread))
             << ", round " << w.round << ": row " << w.frame.row << ", repetition "
             << w.frame.repetition << ": expected " << hashHex(w.expected) << ", got "
             << hashHex(w.actual) << "\n";
        log.write(line.str());
    };
    startState = benchStartState(check, warmUpRight);
    if (!warmUpRight) slots[0].wrong.fetch_add(1);
}

std::string Shared::name(int slot) const {
    const size_t i = static_cast<size_t>(slot);
    const Worker& w = workers[cycle ? 0 : i];
    return w.binding.load() == kBound ? processorNames[i] : "thread " + std::to_string(slot);
}

std::unique_ptr<BenchWorker> makeWorker(Shared& s) {
    try {
        return std::make_unique<BenchWorker>(s.startState);
    } catch (const std::bad_alloc& e) {
        std::lock_guard<std::mutex> lock(s.memoryMutex);
        s.memoryText = lumek::memoryText(e);
        s.memoryShort.store(true);
        return nullptr;
    }
}

bool keepBinding(Shared& s, Worker& w, int slot, int processor) {
    if (w.binding.load() != kBound || !s.stillPinned || s.stillPinned(processor)) return true;
    const std::string where = s.processorNames[static_cast<size_t>(slot)];
    if (!s.cycle) {
        w.binding.store(kMoved);
        s.log.write("lumek: the thread bound to " + where +
                    " was moved off it from outside (its affinity was changed): from now on "
                    "it is thread " +
                    std::to_string(slot) + ", its frames no longer counted as that processor's\n");
        return true;
    }
    s.log.write("lumek: the thread was moved off " + where +
                " from outside (its affinity was changed); it is bound to it again\n");
    return s.pin(processor);
}

void renderOn(Shared& s, Worker& w, BenchWorker& bench, int slot, uint64_t round) {
    Slot& at = s.slots[static_cast<size_t>(slot)];
    if (w.measure.exchange(false)) {
        const double mhz = s.measureClock();
        if (mhz > 0) {
            at.clockMHz.store(mhz);
            if (at.clockLow.load() == 0 || mhz < at.clockLow.load()) at.clockLow.store(mhz);
            if (mhz > at.clockHigh.load()) at.clockHigh.store(mhz);
        }
    }
    const int64_t start = steadyNanoseconds();
    const int wrong = bench.renderRound(s.check, slot, round, &at.frames);
    at.busyNs.fetch_add(steadyNanoseconds() - start, std::memory_order_relaxed);
    at.wrong.fetch_add(static_cast<uint64_t>(wrong), std::memory_order_relaxed);
    at.rounds.fetch_add(1, std::memory_order_relaxed);
}

std::string gigahertz(double low, double high) {
    const std::string a = fixed(low / 1000, 2), b = fixed(high / 1000, 2);
    return (a == b ? a : a + "-" + b) + " GHz";
}

std::string verdict(uint64_t wrong) {
    if (wrong == 0) return "every frame was right.\n";
    return std::to_string(wrong) + (wrong == 1 ? " frame was" : " frames were") + " WRONG.\n";
}

Session::Session(StressEnvironment& env, std::shared_ptr<Shared> shared)
    : env_(env),
      s_(std::move(shared)),
      line_(env.out, env.terminal, env.columns),
      history_(60 * env.timeScale),
      watch_(s_->workers.size()),
      stallsOf_(s_->slots.size(), 0),
      lastFrames_(s_->slots.size(), 0),
      runLog_(env.logPath, [this](const std::string& text) { s_->log.write(text); }),
      logFrames_(s_->slots.size(), 0),
      logWrong_(s_->slots.size(), 0) {
    line_.measureWith(env.measureColumns);
    // Faults said while the line is drawn go round it: on a terminal both
    // streams are one screen.
    s_->log.around(&line_);
}

Session::~Session() { s_->log.around(nullptr); }

int Session::start(std::function<void(int)> body) {
    // A clock given by the caller moves with the frames: it starts before
    // the first of them.
    if (env_.clock) clockStart_ = env_.clock();
    running_ = threads_.start(0, static_cast<int>(s_->workers.size()), std::move(body));
    for (size_t t = static_cast<size_t>(running_); t < s_->workers.size(); ++t)
        s_->workers[t].done.store(true);
    start_ = std::chrono::steady_clock::now();
    return running_;
}

void Session::awaitBinding() {
    for (int t = 0; t < running_; ++t) {
        const Worker& w = s_->workers[static_cast<size_t>(t)];
        while (w.binding.load() == kPending && !w.done.load() && !env_.stopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string Session::sensorsText() const {
    std::string text =
        "Clocks: estimated on each processor from timed chains of dependent additions";
    text += env_.sensors.hasClocks() ? ", and cpufreq's. " : ". ";
    if (env_.sensors.hasTemperatures())
        text += "Temperatures: " + env_.sensors.temperatureSensors() + ".";
    else
        text += "Temperatures: no sensor of the processor was found.";
    return text + "\n";
}

void Session::watch(double length, const std::function<void(double now)>& report) {
    const double every = env_.terminal ? env_.terminalSeconds : env_.progressSeconds;
    double next = every;
    double nextLog = env_.logSeconds;
    lastTick_ = seconds();
    continued_ = env_.continued ? env_.continued() : 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kTick));
        const double now = seconds();
        checkStalls(now);
        // The first and the last minute are of time run: a pause is no
        // throttling.
        history_.add(runningAt(now), totals().frames);
        if (env_.stopRequested()) {
            stoppedByRequest_ = true;
            break;
        }
        if (length > 0 && now >= length) {
            finishedAsSet_ = true;
            break;
        }
        if (env_.outputLost && env_.outputLost()) {
            outputLost_ = true;
            break;
        }
        if (s_->memoryShort.load() || s_->refused.load() >= 0 || allDone()) break;
        // The log keeps its own pace, whatever the screen's.
        if (runLog_.active() && now >= nextLog) {
            nextLog += env_.logSeconds;
            if (nextLog <= now) nextLog = now + env_.logSeconds;
            logInterval(now);
        }
        if (now < next) continue;
        // One line for the time missed while paused, not one for each
        // interval.
        next = std::max(next + every, now + (pausedSinceReport_ > 0 ? every : 0));
        report(now);
        lastReport_ = now;
        pausedSinceReport_ = 0;
        for (Worker& w : s_->workers) w.measure.store(true);
    }
}

void Session::stop() {
    s_->stop.store(true);
    for (;;) {
        bool waiting = false;
        for (size_t t = 0; t < s_->workers.size(); ++t)
            if (!s_->workers[t].done.load() && !watch_[t].stalled) waiting = true;
        if (!waiting) break;
        std::this_thread::sleep_for(std::chrono::duration<double>(kTick));
        checkStalls(seconds());
    }
    elapsed_ = seconds();
    history_.add(runningAt(elapsed_), totals().frames);
    line_.finish();
    for (const Worker& w : s_->workers) {
        if (w.done.load()) continue;
        ++leftBehind_;
        s_->log.write("lumek: " + s_->name(w.slot.load()) +
                      " did not finish its round; its thread is left running as the program "
                      "ends\n");
    }
    if (leftBehind_ > 0) {
        s_->log.close();
        threads_.leave();
    } else {
        threads_.join();
    }
}

Totals Session::totals() const {
    Totals t;
    for (const Slot& slot : s_->slots) {
        t.frames += slot.frames.load(std::memory_order_relaxed);
        t.rounds += slot.rounds.load(std::memory_order_relaxed);
        t.wrong += slot.wrong.load(std::memory_order_relaxed);
    }
    return t;
}

std::string Session::machineNow(const std::vector<int>& slots) {
    Range estimate, cpufreq;
    for (int slot : slots) {
        estimate.add(s_->slots[static_cast<size_t>(slot)].clockMHz.load());
        const int processor = s_->processorOf[static_cast<size_t>(slot)];
        if (processor >= 0) cpufreq.add(env_.sensors.clockMHz(processor).value_or(0));
    }
    runCpufreq_.add(cpufreq.low);
    runCpufreq_.add(cpufreq.high);
    std::string text;
    if (estimate.known()) text += "  clock " + gigahertz(estimate.low, estimate.high);
    if (cpufreq.known()) text += "  cpufreq " + gigahertz(cpufreq.low, cpufreq.high);
    if (const std::optional<os::Temperature> hot = env_.sensors.hottest()) {
        text += "  " + celsius(hot->celsius);
        if (!hottest_ || hot->celsius > hottest_->celsius) hottest_ = hot;
    }
    return text;
}

std::vector<double> Session::intervalRates(double now) {
    std::vector<double> rates(s_->slots.size(), 0);
    const double span = now - lastReport_ - pausedSinceReport_;
    for (size_t i = 0; i < s_->slots.size(); ++i) {
        const uint64_t frames = s_->slots[i].frames.load(std::memory_order_relaxed);
        rates[i] = span > 0 ? static_cast<double>(frames - lastFrames_[i]) / span : 0;
        lastFrames_[i] = frames;
    }
    return rates;
}

std::string Session::slotRows(const std::vector<int>& slots,
                              const std::function<std::string(int slot)>& what) const {
    size_t width = 0;
    for (int slot : slots) width = std::max(width, s_->name(slot).size());
    std::string rows;
    for (int slot : slots) {
        const std::string name = s_->name(slot);
        rows += "  " + name + ":" + std::string(width - name.size() + 1, ' ') + what(slot);
        const Slot& at = s_->slots[static_cast<size_t>(slot)];
        const uint64_t wrong = at.wrong.load();
        // A run stopped early may leave a processor without a frame: it
        // was not tested, which is not the same as right.
        const int stalls = stallsOf_[static_cast<size_t>(slot)];
        if (wrong > 0)
            rows += ", " + std::to_string(wrong) + " WRONG";
        else if (at.frames.load() > 0)
            rows += ", every frame right";
        else
            rows += stalls > 0 ? ", no frame finished" : ", not tested";
        if (stalls > 0)
            rows += ", stalled " + plural(static_cast<uint64_t>(stalls), "time", "times");
        rows += "\n";
    }
    return rows;
}

std::string Session::slotClock(int slot) const {
    const Slot& at = s_->slots[static_cast<size_t>(slot)];
    if (at.clockHigh.load() <= 0) return "";
    return ", clock " + gigahertz(at.clockLow.load(), at.clockHigh.load());
}

std::string Session::machineSummary(bool throughput) const {
    Range clocks;
    for (const Slot& at : s_->slots) {
        clocks.add(at.clockLow.load());
        clocks.add(at.clockHigh.load());
    }
    std::string text;
    if (clocks.known()) text += "Clock " + gigahertz(clocks.low, clocks.high) + " (estimated)";
    if (runCpufreq_.known())
        text += (text.empty() ? "Cpufreq " : ", cpufreq ") +
                gigahertz(runCpufreq_.low, runCpufreq_.high);
    if (hottest_)
        text += (text.empty() ? "Highest temperature " : "; highest temperature ") +
                celsius(hottest_->celsius) + " (" + hottest_->sensor + ")";
    if (!text.empty()) text += ".\n";
    if (!throughput) return text;
    if (const std::optional<ThroughputHistory::Rates> r = history_.rates()) {
        text += "Throughput " + fixed(r->first, 1) + " frames/s in the first minute, " +
                fixed(r->last, 1) + " in the last.\n";
        if (r->fall() > 0.05)
            text += "Throughput fell by " + fixed(r->fall() * 100, 0) +
                    " % over the run: the processor may be throttling.\n";
    }
    return text;
}

std::vector<StressLogSlot> Session::logSlots() const {
    std::vector<StressLogSlot> slots(s_->slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        slots[i].name = s_->name(static_cast<int>(i));
        // A thread not bound where it was meant to be runs anywhere.
        if (s_->name(static_cast<int>(i)) == s_->processorNames[i])
            slots[i].processor = s_->processorOf[i];
    }
    return slots;
}

void Session::logStart(const std::string& mode, double lengthSeconds, double perCoreSeconds) {
    if (!runLog_.active()) return;
    StressLogStart e;
    e.mode = mode;
    e.utc = utcNow();
    e.version = env_.version;
    e.threads = running_;
    e.lengthSeconds = lengthSeconds;
    e.perCoreSeconds = perCoreSeconds;
    e.slots = logSlots();
    e.machine = env_.machine;
    if (env_.sensors.hasTemperatures()) e.temperatureSensors = env_.sensors.temperatureSensors();
    runLog_.start(e);
}

void Session::logInterval(double now) {
    StressLogInterval e;
    e.seconds = now;
    e.utc = utcNow();
    e.span = now - lastLog_ - pausedSinceLog_;
    e.slots = logSlots();
    for (size_t i = 0; i < e.slots.size(); ++i) {
        const Slot& at = s_->slots[i];
        const uint64_t frames = at.frames.load(std::memory_order_relaxed);
        const uint64_t wrong = at.wrong.load(std::memory_order_relaxed);
        StressLogSlot& slot = e.slots[i];
        slot.framesPerSecond =
            e.span > 0 ? static_cast<double>(frames - logFrames_[i]) / e.span : 0;
        slot.errors = wrong - logWrong_[i];
        slot.clockMHz = at.clockMHz.load();
        if (s_->processorOf[i] >= 0)
            slot.cpufreqMHz = env_.sensors.clockMHz(s_->processorOf[i]).value_or(0);
        logFrames_[i] = frames;
        logWrong_[i] = wrong;
    }
    if (const std::optional<os::Temperature> hot = env_.sensors.hottest()) {
        e.celsius = hot->celsius;
        e.sensor = hot->sensor;
        if (!hottest_ || hot->celsius > hottest_->celsius) hottest_ = hot;
    }
    const Totals t = totals();
    e.frames = t.frames;
    e.errors = t.wrong;
    lastLog_ = now;
    pausedSinceLog_ = 0;
    runLog_.interval(e);
}

int Session::logSummary(int status, const std::function<double(int slot)>& rate) {
    if (!runLog_.active()) return status;
    StressLogSummary e;
    e.utc = utcNow();
    e.seconds = elapsed_;
    e.paused = paused_;
    e.finishedAsSet = finishedAsSet_;
    e.stoppedByRequest = stoppedByRequest_;
    const Totals t = totals();
    e.frames = t.frames;
    e.rounds = t.rounds;
    e.errors = t.wrong;
    e.slots = logSlots();
    for (size_t i = 0; i < e.slots.size(); ++i) {
        const Slot& at = s_->slots[i];
        StressLogSlot& slot = e.slots[i];
        slot.frames = at.frames.load();
        slot.rounds = at.rounds.load();
        slot.errors = at.wrong.load();
        slot.framesPerSecond = rate(static_cast<int>(i));
        slot.clockLowMHz = at.clockLow.load();
        slot.clockHighMHz = at.clockHigh.load();
        slot.stalls = stallsOf_[i];
    }
    if (hottest_) {
        e.hottestCelsius = hottest_->celsius;
        e.hottestSensor = hottest_->sensor;
    }
    if (const std::optional<ThroughputHistory::Rates> r = history_.rates()) {
        e.firstMinute = r->first;
        e.lastMinute = r->last;
    }
    // The status the run ends with: a log lost before now already makes it 1.
    e.status = status == 0 && runLog_.lost() ? 1 : status;
    runLog_.summary(e);
    return status == 0 && runLog_.lost() ? 1 : status;
}

int Session::status() const {
    if (s_->memoryShort.load()) return 1;
    if (totals().wrong > 0) return 2;
    if (stalls_ > 0 || leftBehind_ > 0) return 3;
    return 0;
}

bool Session::reportMemoryShort() const {
    if (!s_->memoryShort.load()) return false;
    std::lock_guard<std::mutex> lock(s_->memoryMutex);
    *env_.err << "lumek: " << s_->memoryText << "\n" << std::flush;
    return true;
}

bool Session::allDone() const {
    for (const Worker& w : s_->workers)
        if (!w.done.load()) return false;
    return true;
}

uint64_t Session::workerFrames(size_t t) const {
    // -cycle's one thread feeds every slot in turn.
    if (s_->cycle) return totals().frames;
    return s_->slots[t].frames.load(std::memory_order_relaxed);
}

std::string Session::pausedNote() const {
    if (pausedSinceReport_ <= 0) return "";
    return "  paused " + progress::clock(std::max(pausedSinceReport_, 1.0));
}

void Session::tick(double now) {
    // A watcher that did not run for a second means the whole process stood
    // still (a suspend, a debugger, SIGSTOP), or the watcher alone did: no
    // thread's fault either way. Only a stop that was continued is time the
    // threads did not run.
    const double gap = now - lastTick_;
    lastTick_ = now;
    const unsigned continued = env_.continued ? env_.continued() : 0;
    const bool resumed = continued != continued_;
    continued_ = continued;
    if (gap <= env_.pauseSeconds) return;
    const double late = gap - kTick;
    for (Watch& w : watch_) w.since += late;
    if (!resumed) return;
    paused_ += late;
    pausedSinceReport_ += late;
    pausedSinceLog_ += late;
}

void Session::checkStalls(double now) {
    tick(now);
    for (size_t t = 0; t < watch_.size(); ++t) {
        const Worker& worker = s_->workers[t];
        if (worker.done.load()) continue;
        Watch& w = watch_[t];
        const uint64_t frames = workerFrames(t);
        const int slot = worker.slot.load();
        if (frames != w.frames) {
            if (w.stalled)
                s_->log.write("lumek: " + s_->name(slot) + " finishes frames again, after " +
                              secondsText(std::round(now - w.since)) + " without\n");
            w = {frames, now, false};
            continue;
        }
        if (w.stalled || now - w.since < env_.stallSeconds) continue;
        w.stalled = true;
        ++stalls_;
        ++stallsOf_[static_cast<size_t>(slot)];
        s_->log.write("lumek: " + s_->name(slot) + " has finished no frame for " +
                      secondsText(env_.stallSeconds) +
                      ": its thread is stalled (hung or livelocked)\n");
    }
}

}  // namespace lumek::stability
