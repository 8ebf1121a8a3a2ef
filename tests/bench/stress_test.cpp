// The stress mode: every frame checked, wrong ones reported as they come,
// progress while it runs and a summary once stopped.
#include "bench/stress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

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

    std::ostringstream out, err;
    Clock::time_point stopAt = Clock::now();
    StressEnvironment env;
};

TEST(StressRun, DoesNothingWithoutItsSwitch) {
    Harness h;
    EXPECT_FALSE(StressRun("-bench -shot1 -Stress -stres", h.env).has_value());
    EXPECT_TRUE(h.out.str().empty());
}

TEST(StressRun, ShowsProgressAndEndsWithZeroWhenEveryFrameIsRight) {
    Harness h;
    h.runFor(0.9);
    EXPECT_EQ(StressRun("-stress", h.env), 0);
    EXPECT_TRUE(h.err.str().empty()) << h.err.str();
    const std::string out = h.out.str();
    // A plain line every 0.2 s: about four of them.
    const std::regex progress(
        "[0-9]+:[0-9]{2}  rounds [0-9]+  frames [0-9]+  [0-9]+ frames/s  errors 0\n");
    const auto lines = std::distance(std::sregex_iterator(out.begin(), out.end(), progress),
                                     std::sregex_iterator());
    EXPECT_GE(lines, 2) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        out, std::regex("Stopped after [0-9]+:[0-9]{2}: [0-9]+ rounds, [0-9]+ frames "
                        "on 2 threads \\([0-9.]+ frames per second\\); "
                        "every frame was right.\n$")))
        << out;
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
    // The heading line, then only carriage returns until the summary.
    const size_t heading = progress.find('\n');
    EXPECT_EQ(progress.find('\n', heading + 1), progress.size() - 1) << progress;
    EXPECT_GE(std::count(progress.begin(), progress.end(), '\r'), 2) << progress;
}

TEST(StressRun, AWrongFrameIsReportedAndTheRunGoesOnThenEndsWithTwo) {
    Harness h;
    auto hits = std::make_shared<std::atomic<int>>(0);
    auto framesAfter = std::make_shared<std::atomic<int>>(0);
    h.env.tamper = [hits, framesAfter](FrameImage& image, int thread, uint64_t round,
                                       const BenchFrame& f) {
        if (thread != 1) return;
        if (round == 2 && f.index == 7) {
            image.pixels[4 * 100] ^= 1;
            ++*hits;
        }
        if (round >= 3) ++*framesAfter;
    };
    // Stopped once thread 1 has rendered two more whole rounds.
    h.env.stopRequested = [framesAfter] { return *framesAfter >= 64; };
    EXPECT_EQ(StressRun("-stress", h.env), 2);
    EXPECT_EQ(*hits, 1);
    EXPECT_TRUE(
        std::regex_match(h.err.str(), std::regex("lumek: wrong frame on thread 1, round 2: row 2, "
                                                 "repetition 3: expected [0-9a-f]{16}, got "
                                                 "[0-9a-f]{16}\n")))
        << h.err.str();
    std::smatch rounds;
    const std::string out = h.out.str();
    ASSERT_TRUE(std::regex_search(out, rounds, std::regex("Stopped after .*: ([0-9]+) rounds")))
        << out;
    EXPECT_GE(std::stoi(rounds[1]), 4) << "it went on after the wrong frame";
    EXPECT_NE(out.find("1 frame was WRONG.\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace lumek
