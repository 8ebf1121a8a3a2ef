#include "bench/stress.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/stress_session.h"
#include "util/progress.h"
#include "util/switches.h"

namespace lumek {

namespace {

using namespace stability;
using progress::clock;
using progress::fixed;
using progress::plural;

std::string idList(const std::vector<int>& ids) {
    std::string text;
    for (int id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
    return text;
}

// Which processor each of -stress's threads is bound to: one per physical
// core first, then the other hardware threads.
std::vector<int> stressPlan(const StressEnvironment& env, int threads) {
    if (env.processors.empty()) return {};
    std::vector<int> order = env.topology.onePerCore(env.processors);
    std::vector<int> rest = env.processors;
    std::sort(rest.begin(), rest.end());
    for (int id : rest)
        if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
    std::vector<int> plan;
    for (int t = 0; t < threads; ++t) plan.push_back(order[static_cast<size_t>(t) % order.size()]);
    return plan;
}

// A set length: in whole minutes where it is some, as it always was said.
std::string lengthText(int64_t seconds) {
    const auto count = static_cast<uint64_t>(seconds);
    if (count % 60 == 0) return plural(count / 60, "minute", "minutes");
    return plural(count, "second", "seconds");
}

// Says why a length after -stress or -cycle cannot be used: true when it
// cannot.
bool lengthRefused(const switches::Length& asked, const char* mode, const char* usage,
                   std::ostream& err) {
    if (asked.status == switches::Length::Invalid)
        err << "lumek: usage error: " << asked.word << " is no length (did you mean " << asked.hint
            << "?); " << usage << "\n";
    else if (asked.status == switches::Length::Twice)
        err << "lumek: usage error: " << mode << " is given two lengths (" << asked.word << " and "
            << asked.hint << "); give one\n";
    else
        return false;
    return true;
}

}  // namespace

std::optional<int> StressRun(const char* commandLine, StressEnvironment& env) {
    if (!switches::asks(commandLine, switches::kStress)) return std::nullopt;
    std::ostream& out = *env.out;
    const switches::Length asked = switches::lengthAfter(commandLine, switches::kStress, 60);
    if (lengthRefused(asked, switches::kStress,
                      "-stress takes a length in seconds, minutes or hours, at most 31 years "
                      "(-stress30s, -stress45m, -stress2h; -stress30 counts minutes), or none "
                      "to run until stopped",
                      *env.err))
        return 1;
    const int64_t seconds = asked.status == switches::Length::Valid ? asked.seconds : 0;  // 0: none
    const double length = static_cast<double>(seconds) * env.timeScale;

    const int wanted = env.threads > 0 ? env.threads : 1;
    const std::vector<int> plan = stressPlan(env, wanted);
    auto s = std::make_shared<Shared>(env, plan, wanted, wanted, false);

    // Each thread binds itself, makes its own copy of everything, then
    // renders until told to stop; a round in progress is finished first.
    Session session(env, s);
    const int running = session.start([s, plan](int t) {
        Worker& w = s->workers[static_cast<size_t>(t)];
        DoneOnExit done{w};
        w.slot.store(t);
        if (plan.empty())
            w.binding.store(kUnbound);
        else
            w.binding.store(s->pin(plan[static_cast<size_t>(t)]) ? kBound : kRefused);
        std::unique_ptr<BenchWorker> bench = makeWorker(*s);
        if (!bench) return;
        for (uint64_t round = 1; !s->stop.load(std::memory_order_relaxed); ++round) {
            if (!plan.empty()) keepBinding(*s, w, t, plan[static_cast<size_t>(t)]);
            renderOn(*s, w, *bench, t, round);
        }
    });
    if (running == 0) {
        *env.err << "lumek: no thread could be started (" << session.shortfall() << ")\n";
        return 1;
    }
    // A processor left out is not tested: the run goes on with the others,
    // but it cannot end as a success.
    if (running < wanted)
        *env.err << "lumek: could start only " << running << " of " << wanted << " threads ("
                 << session.shortfall() << "); going on with " << running
                 << ": the others' processors are not tested, so the run ends with status 1\n"
                 << std::flush;
    out << "Stress run on " << plural(static_cast<uint64_t>(running), "thread", "threads")
        << ": the benchmark's 32 frames, round after round, every frame checked";
    if (seconds > 0)
        out << ", for " << lengthText(seconds)
            << ". Stop it earlier with Ctrl+C.\n";
    else
        out << ". Stop it with Ctrl+C.\n";
    out << std::flush;
    session.awaitBinding();
    std::vector<int> slots, bound;
    int refused = -1;
    for (int t = 0; t < running; ++t) {
        slots.push_back(t);
        const int b = s->workers[static_cast<size_t>(t)].binding.load();
        if (b == kBound) bound.push_back(plan[static_cast<size_t>(t)]);
        if (b == kRefused && refused < 0) refused = plan[static_cast<size_t>(t)];
    }
    if (refused >= 0)
        out << "The threads could not all be bound to processors (the system refused processor "
            << refused << "): those not bound are named by number.\n";
    else if (!bound.empty())
        out << "Each thread is bound to a processor: " << idList(bound) << ".\n";
    const bool byProcessor = refused < 0 && !bound.empty();
    out << session.sensorsText() << std::flush;
    session.logStart("stress", static_cast<double>(seconds), 0);

    // A terminal's line leaves out the rounds and gives the range of the
    // processors' throughput, to fit; plain lines give each processor's.
    session.watch(length, [&](double now) {
        const Totals t = session.totals();
        const bool terminal = session.line().terminal();
        const std::vector<double> rates = session.intervalRates(now);
        // The total over the same seconds as each processor's figure: a
        // processor that slows down shows in both at once.
        double total = 0;
        for (double r : rates) total += r;
        std::string text = clock(now) + session.pausedNote();
        if (!terminal) text += "  rounds " + std::to_string(t.rounds);
        text += "  frames " + std::to_string(t.frames) + "  " + fixed(total, 0) + " frames/s";
        if (terminal && running > 1) {
            const auto [low, high] = std::minmax_element(rates.begin(), rates.begin() + running);
            text += " (each " + fixed(*low, 0) + "-" + fixed(*high, 0) + ")";
        }
        text += "  errors " + std::to_string(t.wrong);
        if (length > 0) text += "  " + progress::clockLeft(now, length) + " left";
        text += session.machineNow(slots);
        if (!terminal) {
            // Threads moved off their processors from outside are named by
            // number, and then all of them.
            bool named = byProcessor;
            for (int slot : slots)
                if (s->workers[static_cast<size_t>(slot)].binding.load() == kMoved) named = false;
            text += named ? "\n  frames/s on processor " : "\n  frames/s on thread ";
            for (int slot : slots)
                text += (slot == 0 ? "" : ", ") +
                        std::to_string(named ? plan[static_cast<size_t>(slot)] : slot) + ": " +
                        fixed(rates[static_cast<size_t>(slot)], 0);
        }
        session.line().show(text);
    });
    session.stop();
    const double ran = session.running();
    const auto slotRate = [&](int slot) {
        return ran > 0
                   ? static_cast<double>(s->slots[static_cast<size_t>(slot)].frames.load()) / ran
                   : 0.0;
    };
    if (session.reportMemoryShort()) return session.logSummary(1, slotRate);

    // Without its standard output the summary still reaches someone.
    std::ostream& summary = session.outputLost() ? *env.err : out;
    const double elapsed = session.elapsed();
    const Totals t = session.totals();
    if (session.finishedAsSet())
        summary << "Finished after " << clock(elapsed) << " as set";
    else if (length > 0)
        summary << "Stopped after " << clock(elapsed) << " of " << clock(length);
    else
        summary << "Stopped after " << clock(elapsed);
    if (session.paused() >= 1) summary << " (paused " << clock(session.paused()) << " of it)";
    summary << ": " << t.rounds << " rounds, " << t.frames << " frames on "
            << plural(static_cast<uint64_t>(running), "thread", "threads") << " ("
            << progress::rate(static_cast<double>(t.frames), ran, 1) << " frames per second); ";
    summary << verdict(t.wrong);
    summary << session.slotRows(slots, [&](int slot) {
        const Slot& at = s->slots[static_cast<size_t>(slot)];
        const uint64_t frames = at.frames.load();
        const bool moved = s->workers[static_cast<size_t>(slot)].binding.load() == kMoved;
        return plural(at.rounds.load(), "round", "rounds") + ", " +
               plural(frames, "frame", "frames") + ", " +
               progress::rate(static_cast<double>(frames), ran, 1) + " frames/s" +
               session.slotClock(slot) +
               (moved ? ", moved off processor " + std::to_string(plan[static_cast<size_t>(slot)]) +
                            " from outside"
                      : "");
    });
    summary << session.machineSummary(true);
    // A set length not reached is no pass, however right its frames were:
    // "-stress30 && echo stable" must not say so after a stop at 0:04.
    const bool cutShort = length > 0 && !session.finishedAsSet() && session.stoppedByRequest();
    if (cutShort)
        summary << "The run was stopped before its set length: "
                << progress::clockLeft(elapsed, length) << " of " << clock(length)
                << " were not run, so it is no pass (status 130).\n";
    summary << std::flush;
    int status = session.status();
    if (status == 0 && (running < wanted || session.outputLost())) status = 1;
    if (status == 0 && cutShort) status = 130;
    return session.logSummary(status, slotRate);
}

std::optional<int> CycleRun(const char* commandLine, StressEnvironment& env) {
    if (!switches::asks(commandLine, switches::kCycle)) return std::nullopt;
    std::ostream& out = *env.out;
    const switches::Length asked = switches::lengthAfter(commandLine, switches::kCycle, 1);
    if (lengthRefused(asked, switches::kCycle,
                      "-cycle takes a length in seconds, minutes or hours, at most 31 years "
                      "on each core (-cycle90s, -cycle2m; -cycle90 counts seconds), or none "
                      "for 60 seconds",
                      *env.err))
        return 1;
    const int64_t perCore = asked.status == switches::Length::Valid ? asked.seconds : 60;
    const double perCoreSeconds = static_cast<double>(perCore) * env.timeScale;
    if (env.processors.empty()) {
        *env.err << "lumek: -cycle binds its thread to one core after another, and this system "
                    "does not tell which processors there are\n";
        return 1;
    }
    const std::vector<int> cores = env.topology.onePerCore(env.processors);
    const int n = static_cast<int>(cores.size());

    auto s = std::make_shared<Shared>(env, cores, n, 1, true);

    // One thread, bound to each core in turn for its time; it moves between
    // rounds and estimates the clock on each core as it arrives.
    const int64_t perCoreNs = static_cast<int64_t>(perCoreSeconds * 1e9);
    Session session(env, s);
    const int running = session.start([s, cores, perCoreNs](int) {
        Worker& w = s->workers[0];
        DoneOnExit done{w};
        const int count = static_cast<int>(cores.size());
        if (!s->pin(cores[0])) {
            w.binding.store(kRefused);
            s->refused.store(cores[0]);
            return;
        }
        w.binding.store(kBound);
        std::unique_ptr<BenchWorker> bench = makeWorker(*s);
        if (!bench) return;
        int slot = 0;
        w.visitStartNs.store(steadyNanoseconds());
        for (uint64_t round = 1; !s->stop.load(std::memory_order_relaxed); ++round) {
            if (steadyNanoseconds() - w.visitStartNs.load() >= perCoreNs) {
                const int next = (slot + 1) % count;
                if (!s->pin(cores[static_cast<size_t>(next)])) {
                    s->refused.store(cores[static_cast<size_t>(next)]);
                    return;
                }
                slot = next;
                w.slot.store(slot);
                w.moves.fetch_add(1);
                w.visitStartNs.store(steadyNanoseconds());
                w.measure.store(true);
            }
            if (!keepBinding(*s, w, slot, cores[static_cast<size_t>(slot)])) {
                s->refused.store(cores[static_cast<size_t>(slot)]);
                return;
            }
            renderOn(*s, w, *bench, slot, round);
        }
    });
    if (running == 0) {
        *env.err << "lumek: no thread could be started (" << session.shortfall() << ")\n";
        return 1;
    }
    out << "Core cycle on " << plural(static_cast<uint64_t>(n), "core", "cores")
        << ": one thread renders the benchmark's 32 frames, every frame checked, " << perCore
        << " s on each core in turn (processors " << idList(cores)
        << "; the other hardware threads stay idle). Stop it with Ctrl+C.\n"
        << std::flush;
    session.awaitBinding();
    out << session.sensorsText() << std::flush;
    session.logStart("cycle", 0, perCore);

    session.watch(0, [&](double now) {
        const Worker& w = s->workers[0];
        const int slot = w.slot.load();
        const uint64_t pass = w.moves.load() / static_cast<uint64_t>(n) + 1;
        const double onIt = static_cast<double>(steadyNanoseconds() - w.visitStartNs.load()) / 1e9;
        const Totals t = session.totals();
        double rate = 0;
        for (double r : session.intervalRates(now)) rate += r;
        std::string text = clock(now) + session.pausedNote() + "  pass " +
                           std::to_string(pass) + "  core " +
                           std::to_string(slot + 1) + " of " + std::to_string(n) + ": processor " +
                           std::to_string(cores[static_cast<size_t>(slot)]) + "  " +
                           progress::clockLeft(onIt, perCoreSeconds) + " left on it" + "  frames " +
                           std::to_string(t.frames) + "  " + fixed(rate, 0) + " frames/s  errors " +
                           std::to_string(t.wrong);
        text += session.machineNow({slot});
        session.line().show(text);
    });
    session.stop();
    const auto slotRate = [&](int slot) {
        const Slot& at = s->slots[static_cast<size_t>(slot)];
        const double busy = static_cast<double>(at.busyNs.load()) / 1e9;
        return busy > 0 ? static_cast<double>(at.frames.load()) / busy : 0.0;
    };
    if (session.reportMemoryShort()) return session.logSummary(1, slotRate);
    if (s->refused.load() >= 0) {
        *env.err << "lumek: -cycle could not bind its thread to processor " << s->refused.load()
                 << " (the system refused), and it tests one core at a time only so\n"
                 << std::flush;
        return session.logSummary(1, slotRate);
    }

    // Without its standard output the summary still reaches someone.
    std::ostream& summary = session.outputLost() ? *env.err : out;
    const double elapsed = session.elapsed();
    const Totals t = session.totals();
    const Worker& w = s->workers[0];
    const uint64_t moves = w.moves.load();
    const uint64_t pass = moves / static_cast<uint64_t>(n) + 1;
    summary << "Stopped after " << clock(elapsed);
    if (session.paused() >= 1) summary << " (paused " << clock(session.paused()) << " of it)";
    summary << " in pass " << pass << " (" << perCore
            << " s on each core): " << plural(t.frames, "frame", "frames") << "; ";
    summary << verdict(t.wrong);
    std::vector<int> slots;
    for (int i = 0; i < n; ++i) slots.push_back(i);
    summary << session.slotRows(slots, [&](int slot) {
        const Slot& at = s->slots[static_cast<size_t>(slot)];
        const double busy = static_cast<double>(at.busyNs.load()) / 1e9;
        const uint64_t frames = at.frames.load();
        return clock(busy) + " on it, " + plural(frames, "frame", "frames") + ", " +
               progress::rate(static_cast<double>(frames), busy, 1) + " frames/s" +
               session.slotClock(slot);
    });
    summary << session.machineSummary(false);
    // Until every core has had its time once, a stop leaves cores untested
    // or short: no pass. After that, a stop is how the cycle ends.
    const double onLast = static_cast<double>(steadyNanoseconds() - w.visitStartNs.load()) / 1e9;
    const bool firstPassDone =
        moves >= static_cast<uint64_t>(n) ||
        (moves + 1 == static_cast<uint64_t>(n) && onLast >= perCoreSeconds);
    const bool cutShort = session.stoppedByRequest() && !firstPassDone;
    if (cutShort) {
        const int at = static_cast<int>(moves);
        summary << "The run was stopped before every core had its " << perCore << " s once: "
                << "processor " << cores[static_cast<size_t>(at)] << " had "
                << clock(std::min(onLast, perCoreSeconds));
        if (at + 1 < n) {
            std::vector<int> rest(cores.begin() + at + 1, cores.end());
            summary << ", and " << (rest.size() == 1 ? "processor " : "processors ")
                    << idList(rest) << (rest.size() == 1 ? " was" : " were") << " not tested";
        }
        summary << ", so it is no pass (status 130).\n";
    }
    summary << std::flush;
    int status = session.status();
    if (status == 0 && session.outputLost()) status = 1;
    if (status == 0 && cutShort) status = 130;
    return session.logSummary(status, slotRate);
}

}  // namespace lumek
