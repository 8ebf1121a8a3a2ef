// The stability runs: every frame checked, wrong ones reported with the
// processor of their thread, progress while they run, a summary per
// processor, a set length, stalled threads, and the core cycle moving its
// thread from core to core.
#include "bench/stress.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "os/threads.h"
#include "support/files.h"
#include "support/process.h"

namespace lumek {
namespace {

using Clock = std::chrono::steady_clock;

struct Harness {
    Harness() {
        env.threads = 2;
        env.out = &out;
        env.err = &err;
        env.progressSeconds = 0.2;
        env.stopRequested = [this] { return Clock::now() >= stopAt; };
    }
    void runFor(double seconds) {
        stopAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(seconds));
    }
    // The threads bound as the program binds them.
    void bind() {
        env.processors = os::affinityProcessors();
        env.topology = os::systemTopology();
    }
    std::string name(int processor) const { return env.topology.find(processor).describe(); }

    std::ostringstream out, err;
    Clock::time_point stopAt = Clock::now();
    StressEnvironment env;
};

// Text as a regular expression that matches it literally.
std::string literal(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

size_t count(const std::string& text, const std::regex& pattern) {
    return static_cast<size_t>(std::distance(
        std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

TEST(StressRun, DoesNothingWithoutItsSwitch) {
    Harness h;
    EXPECT_FALSE(StressRun("-bench -shot1 -Stress -stres -cycle", h.env).has_value());
    EXPECT_FALSE(CycleRun("-bench -stress -Cycle -cycl", h.env).has_value());
    EXPECT_TRUE(h.out.str().empty());
}

TEST(StressRun, TextThatGivesNoLengthIsRefusedRatherThanRunForever) {
    for (const char* line : {"-stress0", "-stress1000000000", "-stress30x", "-stress=5",
                             "-stress-30", "-cycle0", "-cycle00", "-cycle=5", "-cycle90sec",
                             "-cyclex", "-cycle999999999h"}) {
        Harness h;
        const bool stress = std::string(line).find("-stress") == 0;
        EXPECT_EQ(stress ? StressRun(line, h.env) : CycleRun(line, h.env), 1) << line;
        EXPECT_TRUE(h.out.str().empty()) << line << ": " << h.out.str();
        EXPECT_EQ(h.err.str().rfind("lumek: usage error: " + std::string(line) +
                                        " is no length (did you mean ",
                                    0),
                  0u)
            << line << ": " << h.err.str();
        EXPECT_NE(h.err.str().find(stress ? "-stress takes a length in seconds, minutes or hours"
                                          : "-cycle takes a length in seconds, minutes or hours"),
                  std::string::npos)
            << line << ": " << h.err.str();
    }
}

TEST(StressRun, TwoLengthsAreRefused) {
    for (const char* line : {"-stress1 -stress2", "-cycle5 -cycle5"}) {
        Harness h;
        const bool stress = std::string(line).find("-stress") == 0;
        EXPECT_EQ(stress ? StressRun(line, h.env) : CycleRun(line, h.env), 1) << line;
        EXPECT_TRUE(h.out.str().empty()) << line;
        EXPECT_EQ(h.err.str(), "lumek: usage error: " + std::string(stress ? "-stress" : "-cycle") +
                                   " is given two lengths (" +
                                   std::string(line).replace(std::string(line).find(' '), 1, " and ") +
                                   "); give one\n");
    }
}

TEST(StressRun, ShowsProgressAndEndsWithZeroWhenEveryFrameIsRight) {
    Harness h;
    h.runFor(0.9);
    EXPECT_EQ(StressRun("-stress", h.env), 0);
    EXPECT_TRUE(h.err.str().empty()) << h.err.str();
    const std::string out = h.out.str();
    // A plain line every 0.2 s (about four), each with the estimated clock
    // and the throughput of each thread, which is not bound here.
    EXPECT_GE(count(out, std::regex("[0-9]+:[0-9]{2}  rounds [0-9]+  frames [0-9]+  [0-9]+ "
                                    "frames/s  errors 0  clock [0-9.]+(-[0-9.]+)? GHz\n"
                                    "  frames/s on thread 0: [0-9]+, 1: [0-9]+\n")),
              2u)
        << out;
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find("bound"), std::string::npos) << out;
    EXPECT_NE(out.find("Temperatures: no sensor of the processor was found.\n"), std::string::npos)
        << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("Stopped after [0-9]+:[0-9]{2}: [0-9]+ rounds, [0-9]+ frames "
                        "on 2 threads \\([0-9.]+ frames per second\\); "
                        "every frame was right.\n"
                        "  thread 0: [0-9]+ rounds?, [0-9]+ frames, [0-9.]+ frames/s, clock "
                        "[0-9.-]+ GHz, every frame right\n"
                        "  thread 1: .*, every frame right\n"
                        "Clock [0-9.-]+ GHz \\(estimated\\).\n$")))
        << out;
}

// "-stress30 && echo stable" must not say "stable" after a stop at 0:00;
// the open-ended run (ShowsProgressAndEndsWithZero...) ends with 0 as ever.
TEST(StressRun, AStopBeforeTheSetLengthIsNoPassAndSaysWhatWasNotRun) {
    Harness h;
    h.runFor(0.3);
    EXPECT_EQ(StressRun("-stress30", h.env), 130);
    const std::string out = h.out.str();
    // (A slow machine may take a second or more to the stop: the times are
    // read as any.)
    EXPECT_TRUE(std::regex_search(out, std::regex("\nStopped after 0:[0-9]{2} of 30:00: "))) << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\nThe run was stopped before its set length: (30:00|29:[0-9]{2}) of "
                        "30:00 were not run, so it is no pass \\(status 130\\)\\.\n")))
        << out;
}

// Without its reader (SIGPIPE ignored, or a reader that left between
// writes) the run does not go on for no one: it ends with 1 and says its
// summary on the error stream.
TEST(StressRun, ALostOutputEndsTheRunWithItsSummaryOnTheErrorStream) {
    for (const char* mode : {"-stress", "-stress30", "-cycle"}) {
        Harness h;
        h.bind();
        if (std::string(mode) == "-cycle" && h.env.processors.empty()) continue;
        h.env.stopRequested = [] { return false; };
        const auto lost = Clock::now() + std::chrono::milliseconds(300);
        h.env.outputLost = [lost] { return Clock::now() >= lost; };
        const bool cycle = std::string(mode) == "-cycle";
        EXPECT_EQ(cycle ? CycleRun(mode, h.env) : StressRun(mode, h.env), 1) << mode;
        EXPECT_EQ(h.out.str().find("Stopped after"), std::string::npos) << h.out.str();
        EXPECT_TRUE(std::regex_search(h.err.str(), std::regex("^Stopped after 0:[0-9]{2}[: ].*; every "
                                                              "frame was right.\n")))
            << mode << "\n"
            << h.err.str();
        EXPECT_EQ(h.err.str().find("no pass"), std::string::npos) << h.err.str();
    }
}

// On a terminal stdout and stderr are one screen: a fault said while the
// progress line is drawn clears it first, and the line comes back after.
TEST(StressRun, OnATerminalAFaultIsNeverGluedToTheRedrawnLine) {
    Harness h;
    h.env.err = &h.out;
    h.env.terminal = true;
    h.env.terminalSeconds = 0.1;
    h.runFor(0.9);
    // One frame of thread 0 is spoilt once the line has been drawn (the
    // width is read before each redraw).
    auto draws = std::make_shared<std::atomic<int>>(0);
    h.env.measureColumns = [draws] {
        ++*draws;
        return 0;
    };
    auto spoilt = std::make_shared<std::atomic<bool>>(false);
    h.env.tamper = [draws, spoilt](FrameImage& image, int thread, uint64_t round,
                                   const BenchFrame&) {
        if (round > 0 && thread == 0 && *draws >= 2 && !spoilt->exchange(true))
            image.pixels[8] ^= 2;
    };
    EXPECT_EQ(StressRun("-stress", h.env), 2);
    const std::string out = h.out.str();
    const size_t fault = out.find("lumek: wrong frame on thread 0");
    ASSERT_NE(fault, std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("\r[0-9]+:[0-9]{2}  frames [^\r\n]*\r +\r"
                                                  "lumek: wrong frame on thread 0, round "
                                                  "[0-9]+: [^\r\n]*\n\r[0-9]+:[0-9]{2}  "
                                                  "frames ")))
        << out;
}

// SIGSTOP and SIGCONT, made here by holding the watcher and every thread
// for `pause` seconds from `at` on, then counting a continue.
struct Pause {
    Pause(Harness& h, double at, double pause) {
        auto held = std::make_shared<std::atomic<bool>>(false);
        auto continues = std::make_shared<std::atomic<unsigned>>(0);
        h.env.continued = [continues] { return continues->load(); };
        const auto from = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(at));
        auto done = std::make_shared<bool>(false);
        const auto previous = h.env.stopRequested;
        h.env.pauseSeconds = 0.3;
        h.env.stopRequested = [=] {
            if (!*done && Clock::now() >= from) {
                *done = true;
                held->store(true);
                std::this_thread::sleep_for(std::chrono::duration<double>(pause));
                continues->fetch_add(1);
                held->store(false);
            }
            return previous();
        };
        h.env.tamper = [held](FrameImage&, int, uint64_t, const BenchFrame&) {
            while (held->load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        };
    }
};

// The time paused is not caught up with lines back to back: the next line
// says the run was paused and gives the rates of the time it ran.
TEST(StressRun, AfterAPauseOneLineSaysSoAndNoneAreCaughtUp) {
    Harness h;
    h.env.progressSeconds = 0.1;
    h.runFor(1.2);
    Pause pause(h, 0.3, 0.6);
    EXPECT_EQ(StressRun("-stress", h.env), 0);
    const std::string out = h.out.str();
    // Three lines before the pause, the one after it and three more;
    // caught up, there would be eleven.
    EXPECT_LE(count(out, std::regex("\n[0-9]+:[0-9]{2}(  paused 0:01)?  rounds ")), 8u) << out;
    EXPECT_EQ(count(out, std::regex("\n[0-9]+:[0-9]{2}  paused 0:01  rounds [0-9]+  frames "
                                    "[0-9]+  [1-9][0-9]* frames/s  errors 0  .*\n  frames/s on "
                                    "thread 0: [0-9]+, 1: [0-9]+\n")),
              1u)
        << out;
}

// The line's total is of the same seconds as each thread's figure: once
// every thread is held, both are 0, whatever the run did before.
TEST(StressRun, TheTotalRateIsOfTheSameWindowAsEachThreads) {
    Harness h;
    const Clock::time_point holdFrom = Clock::now() + std::chrono::milliseconds(700);
    const Clock::time_point holdUntil = Clock::now() + std::chrono::milliseconds(1600);
    h.env.tamper = [holdFrom, holdUntil](FrameImage&, int, uint64_t, const BenchFrame&) {
        while (Clock::now() >= holdFrom && Clock::now() < holdUntil)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    h.runFor(1.6);
    ASSERT_EQ(StressRun("-stress", h.env), 0) << h.err.str();
    const std::string out = h.out.str();
    static const std::regex line(
        "frames [0-9]+  ([0-9]+) frames/s  [^\n]*\n  frames/s on thread 0: ([0-9]+), 1: ([0-9]+)\n");
    size_t lines = 0, idle = 0;
    for (auto m = std::sregex_iterator(out.begin(), out.end(), line); m != std::sregex_iterator();
         ++m) {
        const int total = std::stoi((*m)[1]), first = std::stoi((*m)[2]),
                  second = std::stoi((*m)[3]);
        // Each figure is rounded on its own.
        EXPECT_LE(std::abs(total - (first + second)), 1) << m->str();
        ++lines;
        if (total == 0) ++idle;
    }
    EXPECT_GE(lines, 5u) << out;
    EXPECT_GE(idle, 1u) << "held threads render nothing, and the total says so\n" << out;
}

// A watcher held up while the threads go on (its write to a terminal that
// is not read, a busy machine) is no pause: without a continue of the
// process the time counts as run, and the rates stay those of the frames.
TEST(StressRun, AWatcherHeldUpWithoutAStopIsNoPause) {
    Harness h;
    h.env.progressSeconds = 0.1;
    h.env.pauseSeconds = 0.3;
    h.env.continued = [] { return 0u; };
    h.runFor(1.2);
    const auto from = Clock::now() + std::chrono::milliseconds(300);
    bool held = false;
    const auto stop = h.env.stopRequested;
    h.env.stopRequested = [&] {
        if (!held && Clock::now() >= from) {
            held = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
        }
        return stop();
    };
    EXPECT_EQ(StressRun("-stress", h.env), 0);
    const std::string out = h.out.str();
    EXPECT_EQ(out.find("paused"), std::string::npos) << out;
}

// A clock for the run that moves with its frames, `perFrame(now)`
// hundredths of a second a frame, so that rates over time do not depend on
// how busy the machine is. Each frame takes 5 ms at least, so that the
// clock moves little between two looks of the watcher.
struct FrameClock {
    FrameClock(Harness& h, std::function<int64_t(int64_t)> perFrame) {
        h.env.tamper = [c = hundredths, perFrame](FrameImage&, int, uint64_t, const BenchFrame&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            c->fetch_add(perFrame(c->load()));
        };
        h.env.clock = [c = hundredths] { return static_cast<double>(c->load()) / 100; };
    }
    std::shared_ptr<std::atomic<int64_t>> hundredths = std::make_shared<std::atomic<int64_t>>(0);
};

// A pause in the last minute is no fall in throughput: the minutes are of
// time run. A minute is 0.6 s here, on a clock that moves 10 ms a frame;
// the process stands still for 0.65 s at 1.3 s. Counted in, the pause
// would leave the last minute almost without frames.
TEST(StressRun, APauseInTheLastMinuteIsNoThrottling) {
    Harness h;
    h.env.timeScale = 0.01;
    h.env.pauseSeconds = 0.3;
    const FrameClock clock(h, [](int64_t) { return 1; });
    auto continues = std::make_shared<std::atomic<unsigned>>(0);
    h.env.continued = [continues] { return continues->load(); };
    h.env.stopRequested = [c = clock.hundredths, continues] {
        if (continues->load() == 0 && c->load() >= 130) {
            c->fetch_add(65);
            continues->fetch_add(1);
        }
        return false;
    };
    EXPECT_EQ(StressRun("-stress3", h.env), 0);  // 1.8 s run
    const std::string out = h.out.str();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m,
                                  std::regex("\nThroughput ([0-9.]+) frames/s in the first "
                                             "minute, ([0-9.]+) in the last.\n")))
        << out;
    // Frames that end between the watcher's look at the clock and its
    // count of frames (when it is held up there) raise a rate a little, and
    // a watcher's step of the pause may count as run.
    EXPECT_NEAR(std::stod(m[1]), 100, 30) << out;
    EXPECT_GT(std::stod(m[2]), 70) << out;
    EXPECT_EQ(out.find("throttling"), std::string::npos) << out;
}

// taskset -a -p on a running run: -stress's thread moved off its processor
// is named by its number from then on (its frames may run anywhere), and
// -cycle's thread is bound to its core again. Frames are never counted as
// a processor's that they did not run on.
TEST(StressRun, AThreadMovedOffItsProcessorFromOutsideIsNoLongerCountedAsItsOwn) {
    for (const char* mode : {"-stress", "-cycle"}) {
        Harness h;
        h.bind();
        const std::vector<int> cores = h.env.topology.onePerCore(h.env.processors);
        if (h.env.processors.size() < 2 || cores.empty()) GTEST_SKIP() << "one processor";
        const int bound = cores[0];
        const int other = h.env.processors[0] == bound ? h.env.processors[1] : h.env.processors[0];
        auto tid = std::make_shared<std::atomic<int>>(0);
        auto latest = std::make_shared<std::atomic<uint64_t>>(0);  // thread 0's round
        h.env.tamper = [tid, latest](FrameImage&, int thread, uint64_t round, const BenchFrame&) {
            if (thread != 0 || round == 0) return;
            tid->store(static_cast<int>(gettid()));
            latest->store(round);
        };
        // The thread looks at its binding before each round: the run stops
        // once it has begun a round after the one begun after the move,
        // however slow the machine (or after 20 s, to fail rather than hang).
        std::optional<Clock::time_point> movedAt;
        uint64_t roundAtMove = 0;
        h.env.stopRequested = [&] {
            if (!movedAt && tid->load() != 0) {
                cpu_set_t set;
                CPU_ZERO(&set);
                CPU_SET(other, &set);
                roundAtMove = latest->load();
                EXPECT_EQ(sched_setaffinity(tid->load(), sizeof set, &set), 0);
                movedAt = Clock::now();
            }
            return movedAt && (latest->load() > roundAtMove + 1 ||
                               Clock::now() - *movedAt > std::chrono::seconds(20));
        };
        const bool cycle = std::string(mode) == "-cycle";
        // -cycle stopped on its first core: no pass, but not for the move.
        EXPECT_EQ(cycle ? CycleRun(mode, h.env) : StressRun(mode, h.env), cycle ? 130 : 0);
        const std::string err = h.err.str(), out = h.out.str();
        if (cycle) {
            EXPECT_EQ(err, "lumek: the thread was moved off " + h.name(bound) +
                               " from outside (its affinity was changed); it is bound to it "
                               "again\n");
            continue;
        }
        EXPECT_EQ(err, "lumek: the thread bound to " + h.name(bound) +
                           " was moved off it from outside (its affinity was changed): from now "
                           "on it is thread 0, its frames no longer counted as that "
                           "processor's\n");
        EXPECT_TRUE(std::regex_search(
            out, std::regex("\n  thread 0: +[0-9]+ rounds?, .*, moved off processor " +
                            std::to_string(bound) + " from outside, every frame right\n")))
            << out;
    }
}

TEST(StressRun, OnATerminalOneLineIsRedrawnInPlace) {
    Harness h;
    h.env.terminal = true;
    h.env.terminalSeconds = 0.2;
    h.runFor(0.9);
    EXPECT_EQ(StressRun("-stress", h.env), 0);
    const std::string out = h.out.str();
    const size_t summary = out.find("Stopped after");
    ASSERT_NE(summary, std::string::npos) << out;
    const std::string progress = out.substr(0, summary);
    // The heading's two lines, then only carriage returns until the summary.
    const size_t headings = progress.find('\n', progress.find('\n') + 1);
    EXPECT_EQ(progress.find('\n', headings + 1), progress.size() - 1) << progress;
    EXPECT_GE(std::count(progress.begin(), progress.end(), '\r'), 2) << progress;
    EXPECT_TRUE(std::regex_search(
        progress, std::regex("\r[0-9]+:[0-9]{2}  frames [0-9]+  [0-9]+ frames/s \\(each "
                             "[0-9]+-[0-9]+\\)  errors 0  clock [0-9.-]+ GHz")))
        << progress;
}

// A wrong frame is named by the processor its thread is bound to: the one
// the thread ran on when its frame was changed.
TEST(StressRun, AWrongFrameNamesTheProcessorOfItsThreadAndTheRunGoesOn) {
    Harness h;
    h.bind();
    auto ranOn = std::make_shared<std::atomic<int>>(-1);
    auto otherRanOn = std::make_shared<std::atomic<int>>(-1);
    auto framesAfter = std::make_shared<std::atomic<int>>(0);
    h.env.tamper = [=](FrameImage& image, int thread, uint64_t round, const BenchFrame& f) {
        if (thread == 0 && round == 1) otherRanOn->store(os::currentProcessor());
        if (thread != 1) return;
        if (round == 2 && f.index == 7) {
            image.pixels[4 * 100] ^= 1;
            ranOn->store(os::currentProcessor());
        }
        if (round >= 3) ++*framesAfter;
    };
    // Stopped once thread 1 has rendered two more whole rounds.
    h.env.stopRequested = [framesAfter] { return *framesAfter >= 64; };
    EXPECT_EQ(StressRun("-stress", h.env), 2);
    const int processor = ranOn->load();
    ASSERT_GE(processor, 0);
    EXPECT_TRUE(std::regex_match(
        h.err.str(), std::regex("lumek: wrong frame on " + literal(h.name(processor)) +
                                ", round 2: row 2, repetition 3: expected 5b6c1d6a5ba75642, got "
                                "[0-9a-f]{16}\n")))
        << h.err.str();
    if (h.env.processors.size() >= 2) {
        EXPECT_NE(processor, otherRanOn->load()) << "each thread has a processor of its own";
    }

    const std::string out = h.out.str();
    EXPECT_NE(out.find("Each thread is bound to a processor: "), std::string::npos) << out;
    EXPECT_NE(out.find("1 frame was WRONG.\n"), std::string::npos) << out;
    // Its row in the summary says so; the other's does not.
    const std::regex row("  " + literal(h.name(processor)) + ": +([0-9]+) rounds, .*, 1 WRONG\n");
    std::smatch rounds;
    ASSERT_TRUE(std::regex_search(out, rounds, row)) << out;
    EXPECT_GE(std::stoi(rounds[1]), 4) << "it went on after the wrong frame";
    EXPECT_EQ(count(out, std::regex("every frame right\n")), 1u) << out;
}

TEST(StressRun, WhereBindingIsRefusedItSaysSoOnceAndNamesThreadsByNumber) {
    Harness h;
    h.bind();
    h.env.pin = [](int) { return false; };
    auto framesAfter = std::make_shared<std::atomic<int>>(0);
    h.env.tamper = [framesAfter](FrameImage& image, int thread, uint64_t round,
                                 const BenchFrame& f) {
        if (thread == 1 && round == 1 && f.index == 2) image.pixels[0] ^= 4;
        if (thread == 1 && round >= 2) ++*framesAfter;
    };
    h.env.stopRequested = [framesAfter] { return *framesAfter >= 1; };
    EXPECT_EQ(StressRun("-stress", h.env), 2);
    EXPECT_TRUE(
        std::regex_match(h.err.str(), std::regex("lumek: wrong frame on thread 1, round 1: row 1, "
                                                 "repetition 2: expected [0-9a-f]{16}, got "
                                                 "[0-9a-f]{16}\n")))
        << h.err.str();
    const std::string out = h.out.str();
    EXPECT_EQ(count(out, std::regex("could not all be bound to processors \\(the system refused "
                                    "processor [0-9]+\\): those not bound are named by number")),
              1u)
        << out;
    EXPECT_NE(out.find("\n  thread 1: "), std::string::npos) << out;
}

// A run of three (shortened) minutes that ends by itself; its last minute
// is made slower, which the end's comparison shows. The sensors are fake.
TEST(StressRun, ASetLengthEndsTheRunByItselfAndComparesTheFirstAndLastMinute) {
    test::FakeTree tree;
    tree.put("/sys/class/hwmon/hwmon0/name", "k10temp\n");
    tree.put("/sys/class/hwmon/hwmon0/temp1_label", "Tctl\n");
    tree.put("/sys/class/hwmon/hwmon0/temp1_input", "71250\n");
    Harness h;
    h.bind();
    for (int id : h.env.processors)
        tree.put("/sys/devices/system/cpu/cpu" + std::to_string(id) + "/cpufreq/scaling_cur_freq",
                 "3490000\n");
    h.env.sensors = os::readLinuxSensors(tree.root(), h.env.processors);
    h.env.timeScale = 0.01;  // a minute is 0.6 s
    h.env.stopRequested = [] { return false; };
    // The run's clock moves 10 ms a frame, and from 0.9 s on (the first
    // minute is over, the last not begun) 20 ms: the frames get slower
    // however busy the machine is.
    const FrameClock clock(h, [](int64_t now) { return now < 90 ? 1 : 2; });
    EXPECT_EQ(StressRun("-t3 -stress3", h.env), 0);
    const std::string out = h.out.str();
    EXPECT_NE(out.find(", for 3 minutes. Stop it earlier with Ctrl+C.\n"), std::string::npos);
    EXPECT_NE(out.find("Temperatures: k10temp Tctl.\n"), std::string::npos) << out;
    EXPECT_GE(count(out, std::regex("  errors 0  0:0[01] left  clock [0-9.-]+ GHz  cpufreq 3.49 "
                                    "GHz  71 \xC2\xB0"
                                    "C\n")),
              2u)
        << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\nFinished after 0:0[1-9] as set: [0-9]+ rounds, [0-9]+ frames on "
                        "2 threads \\([0-9.]+ frames per second\\); every frame was right.\n")))
        << out;
    EXPECT_NE(out.find(" (estimated), cpufreq 3.49 GHz; highest temperature 71 \xC2\xB0"
                       "C (k10temp Tctl).\n"),
              std::string::npos)
        << out;
    // 100 frames a second on the clock, then 50; more or fewer where the
    // watcher was held up between the clock and the count (a frame every
    // 5 ms on each of three threads), and the fall as those figures give it.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        out, m,
        std::regex("\nThroughput ([0-9.]+) frames/s in the first minute, ([0-9.]+) in "
                   "the last.\nThroughput fell by ([0-9]+) % over the run: the processor "
                   "may be throttling.\n$")))
        << out;
    EXPECT_NEAR(std::stod(m[1]), 100, 30) << out;
    EXPECT_NEAR(std::stod(m[2]), 50, 20) << out;
    EXPECT_GE(std::stoi(m[3]), 25) << out;
    EXPECT_NEAR(std::stoi(m[3]), 100 * (1 - std::stod(m[2]) / std::stod(m[1])), 1) << out;
    EXPECT_TRUE(h.err.str().empty()) << h.err.str();
}

// A thread held for a second finishes no frame: it is reported as it
// happens and again when it goes on; with a wrong frame besides, the run
// ends with 2.
TEST(StressRun, AStalledThreadIsReportedAndAWrongFrameBesidesMakesTwo) {
    Harness h;
    h.env.stallSeconds = 0.4;
    auto released = std::make_shared<std::atomic<int64_t>>(0);
    h.env.tamper = [released](FrameImage& image, int thread, uint64_t round, const BenchFrame& f) {
        if (thread == 1 && round == 2 && f.index == 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            released->store(steadyNanoseconds());
        }
        if (thread == 0 && round == 2 && f.index == 5) image.pixels[8] ^= 2;
    };
    h.env.stopRequested = [released] {
        return released->load() > 0 && steadyNanoseconds() - released->load() > 300'000'000;
    };
    EXPECT_EQ(StressRun("-stress", h.env), 2);
    const std::string err = h.err.str();
    EXPECT_NE(err.find("lumek: thread 1 has finished no frame for 0.4 s: its thread is stalled "
                       "(hung or livelocked)\n"),
              std::string::npos)
        << err;
    EXPECT_TRUE(std::regex_search(
        err, std::regex("lumek: thread 1 finishes frames again, after [12] s without\n")))
        << err;
    EXPECT_NE(err.find("lumek: wrong frame on thread 0, round 2"), std::string::npos) << err;
    const std::string out = h.out.str();
    EXPECT_NE(out.find("\n  thread 1: "), std::string::npos);
    EXPECT_TRUE(std::regex_search(out, std::regex("\n  thread 1: .*, every frame right, stalled "
                                                  "1 time\n")))
        << out;
}

// A thread that never comes back does not keep the run from ending: it is
// given up on, and the run ends with 3.
TEST(StressRun, AThreadHeldThroughTheEndIsLeftBehindAndTheStatusIsThree) {
    Harness h;
    h.bind();
    h.env.stallSeconds = 0.4;
    struct Hold {
        std::atomic<int64_t> since{0};
        std::atomic<int> processor{-1};
        std::atomic<bool> release{false};
    };
    auto hold = std::make_shared<Hold>();
    h.env.tamper = [hold](FrameImage&, int thread, uint64_t round, const BenchFrame& f) {
        if (thread != 1 || round != 2 || f.index != 3) return;
        hold->processor.store(os::currentProcessor());
        hold->since.store(steadyNanoseconds());
        while (!hold->release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    h.env.stopRequested = [hold] {
        return hold->since.load() > 0 && steadyNanoseconds() - hold->since.load() > 800'000'000;
    };
    EXPECT_EQ(StressRun("-stress", h.env), 3);
    const std::string name = h.name(hold->processor.load());
    // (Under an emulator the other thread may stall for a moment too.)
    const std::string err = h.err.str();
    const std::string stalled = "lumek: " + name +
                                " has finished no frame for 0.4 s: its thread is stalled (hung or "
                                "livelocked)\n";
    const std::string left = "lumek: " + name +
                             " did not finish its round; its thread is left running as the "
                             "program ends\n";
    EXPECT_NE(err.find(stalled), std::string::npos) << err;
    EXPECT_NE(err.find(left), std::string::npos) << err;
    EXPECT_EQ(count(err, std::regex("did not finish")), 1u) << "only that one";
    EXPECT_NE(h.out.str().find("every frame was right.\n"), std::string::npos) << h.out.str();
    EXPECT_NE(h.out.str().find("  " + name + ": "), std::string::npos) << h.out.str();
    hold->release.store(true);  // it finishes its round and ends, writing nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(h.err.str(), err);
}

// The core cycle's one thread, sampled from /proc as it runs, goes over
// every core (the first processor of each) and no other processor.
TEST(CycleRun, ItsThreadMovesOverEveryCoreAndTheSummaryHasALineForEach) {
    Harness h;
    h.bind();
    h.env.timeScale = 0.3;  // 0.3 s on each core
    const std::vector<int> cores = h.env.topology.onePerCore(h.env.processors);
    std::set<int> seen, elsewhere;
    // Its thread id, once it renders (it starts wherever the system puts
    // it, then binds itself).
    auto worker = std::make_shared<std::atomic<int>>(0);
    h.env.tamper = [worker](FrameImage&, int, uint64_t round, const BenchFrame&) {
        if (round > 0) worker->store(static_cast<int>(gettid()));
    };
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    // Stopped once the last core has had its time too: the first pass is
    // whole, and the stop is the cycle's normal end.
    std::optional<Clock::time_point> lastReached;
    h.env.stopRequested = [&] {
        const std::map<int, int> threads = test::lastProcessors(getpid());
        const auto it = threads.find(worker->load());
        if (it != threads.end()) {
            if (std::find(cores.begin(), cores.end(), it->second) != cores.end())
                seen.insert(it->second);
            else
                elsewhere.insert(it->second);
        }
        if (seen.size() == cores.size() && !lastReached) lastReached = Clock::now();
        return (lastReached && Clock::now() - *lastReached > std::chrono::milliseconds(450)) ||
               Clock::now() > deadline;
    };
    EXPECT_EQ(CycleRun("-cycle1", h.env), 0);
    EXPECT_EQ(seen.size(), cores.size());
    EXPECT_TRUE(elsewhere.empty()) << *elsewhere.begin();
    const std::string out = h.out.str();
    EXPECT_NE(out.find("1 s on each core in turn"), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("\nStopped after [0-9]+:[0-9]{2} in pass [0-9]+ "
                                                  "\\(1 s on each core\\): [0-9]+ frames; every "
                                                  "frame was right.\n")))
        << out;
    for (int core : cores)
        EXPECT_TRUE(std::regex_search(
            out, std::regex("\n  " + literal(h.name(core)) +
                            ": +[0-9]+:[0-9]{2} on it, [1-9][0-9]* frames?, [0-9.]+ frames/s, "
                            "clock [0-9.-]+ GHz, every frame right\n")))
            << core << "\n"
            << out;
    EXPECT_TRUE(h.err.str().empty()) << h.err.str();
}

TEST(StressRun, AThreadTheSystemRefusesIsSaidAndTheRunCannotSucceed) {
    // The second thread does not start: its processor is not tested.
    Harness h;
    h.runFor(0.3);
    os::ThreadGroup::failStartForTests(2);
    const std::optional<int> status = StressRun("-stress", h.env);
    os::ThreadGroup::failStartForTests(0);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(std::regex_search(h.err.str(), std::regex("^lumek: could start only 1 of 2 threads "
                                                          "\\(.+\\); going on with 1: the "
                                                          "others' processors are not tested")))
        << h.err.str();
    EXPECT_NE(h.out.str().find("Stress run on 1 thread:"), std::string::npos) << h.out.str();

    // None at all: said before any heading.
    Harness none;
    os::ThreadGroup::failStartForTests(1);
    const std::optional<int> noneStatus = StressRun("-stress", none.env);
    os::ThreadGroup::failStartForTests(0);
    EXPECT_EQ(noneStatus, 1);
    EXPECT_TRUE(none.out.str().empty()) << none.out.str();
    EXPECT_NE(none.err.str().find("lumek: no thread could be started"), std::string::npos);
}

TEST(CycleRun, ACoreNotReachedBeforeTheStopIsNotTestedRatherThanRight) {
    Harness h;
    h.bind();
    const std::vector<int> cores = h.env.topology.onePerCore(h.env.processors);
    if (cores.size() < 2) GTEST_SKIP() << "one core: every core is reached";
    // Stopped after a few frames, long before the first core's 60 s.
    auto frames = std::make_shared<std::atomic<int>>(0);
    h.env.tamper = [frames](FrameImage&, int, uint64_t, const BenchFrame&) { ++*frames; };
    h.env.stopRequested = [frames] { return *frames >= 3; };
    // Not a pass: the summary says what was left undone.
    EXPECT_EQ(CycleRun("-cycle", h.env), 130);
    const std::string out = h.out.str();
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\n  " + literal(h.name(cores[0])) + ": .*, every frame right\n")))
        << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\n  " + literal(h.name(cores[1])) + ": .* 0 frames, .*, not tested\n")))
        << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\nThe run was stopped before every core had its 60 s once: processor " +
                        std::to_string(cores[0]) + " had 0:00, and processors? [0-9, ]+ (was|were) "
                        "not tested, so it is no pass \\(status 130\\).\n$")))
        << out;
}

TEST(CycleRun, WithoutBindingItCannotRun) {
    Harness h;
    EXPECT_EQ(CycleRun("-cycle", h.env), 1);
    EXPECT_NE(h.err.str().find("does not tell which processors there are"), std::string::npos);

    Harness refused;
    refused.bind();
    refused.env.pin = [](int) { return false; };
    EXPECT_EQ(CycleRun("-cycle", refused.env), 1);
    EXPECT_TRUE(std::regex_search(refused.err.str(),
                                  std::regex("^lumek: -cycle could not bind its thread to "
                                             "processor [0-9]+ \\(the system refused\\)")))
        << refused.err.str();
}

}  // namespace
}  // namespace lumek
