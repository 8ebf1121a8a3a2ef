#include "bench/bench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "render/random.h"
#include "shots/shots.h"
#include "support/files.h"

namespace lumek {
namespace {

// A benchmark run with a scripted clock that logs what happens in order.
struct Harness {
    Harness() : env(library, slots, random, elapsed, lastTick) {
        env.reportPath = "bench.txt";
        env.clockMs = [this] {
            log.push_back("clock");
            states.push_back(random.state());
            const uint32_t now = clock;
            clock += step;
            return now;
        };
        env.localTime = [] { return LocalTime{6, 12, 2026, 9, 5}; };
        env.out = &out;
        env.err = &err;
        env.frameRendered = [this](int row, bool timed) {
            log.push_back((timed ? "frame " : "warm-up ") + std::to_string(row));
        };
    }

    SceneLibrary library;
    RenderSlots slots;
    RandomStream random;
    uint32_t elapsed = 0, lastTick = 0;
    uint32_t clock = 1000, step = 10;
    std::vector<std::string> log;
    std::vector<uint32_t> states;  // generator state at each clock reading
    std::ostringstream out, err;
    BenchEnvironment env;
};

TEST(BenchmarkRun, DoesNothingWithoutItsSwitch) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    EXPECT_FALSE(BenchmarkRun("-shot1 -Bench -t5", h.env).has_value());
    EXPECT_TRUE(h.log.empty());
    EXPECT_TRUE(h.library[kXMas].empty());
    EXPECT_EQ(h.random.state(), RandomStream::kStartState);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(BenchmarkRun, WalksThenWarmsUpThenTimesThirtyTwoFrames) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    ASSERT_EQ(BenchmarkRun("-benchmark", h.env), 0);

    std::vector<std::string> expected = {"clock", "clock", "warm-up 8", "clock"};
    for (int row = 1; row <= 8; ++row)
        for (int i = 0; i < 4; ++i) expected.push_back("frame " + std::to_string(row));
    expected.push_back("clock");
    EXPECT_EQ(h.log, expected);

    // The walk draws exactly five million values, between the first two
    // clock readings.
    RandomStream walked;
    walked.advance(kWalkSteps);
    ASSERT_EQ(h.states.size(), 4u);
    EXPECT_EQ(h.states[0], RandomStream::kStartState);
    EXPECT_EQ(h.states[1], walked.state());

    // Durations: one clock step each.
    EXPECT_EQ(h.elapsed, 10u);
    EXPECT_EQ(h.lastTick, 1020u);
    EXPECT_EQ(h.out.str(), formatBenchReport(10, 10, {6, 12, 2026, 9, 5}, "\n"));
    EXPECT_EQ(test::readFile(dir.file("bench.txt")), formatBenchReport(10, 10, {6, 12, 2026, 9, 5}));

    // Everything is released.
    for (int i = 0; i < kSceneCount; ++i) EXPECT_TRUE(h.library[i].empty());
    EXPECT_EQ(h.slots.currentImage, nullptr);
    EXPECT_EQ(h.slots.currentRenderer, nullptr);
}

TEST(BenchmarkRun, ATimerWrapStillGivesTheTrueDurations) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    h.clock = 0xFFFFFF00u;
    h.step = 0x150;  // every pair of readings straddles or follows the wrap
    ASSERT_EQ(BenchmarkRun("-bench", h.env), 0);
    EXPECT_EQ(h.elapsed, 0x150u);
    const std::string report = test::readFile(dir.file("bench.txt"));
    EXPECT_NE(report.find("Render Dauer: 336 ms"), std::string::npos) << report;
    EXPECT_NE(report.find("CPUBench Dauer: 336 ms"), std::string::npos) << report;
}

TEST(BenchmarkRun, AReportThatCannotBeWrittenEndsWithStatusOne) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    std::filesystem::create_directory(dir.file("bench.txt"));
    Harness h;
    EXPECT_EQ(BenchmarkRun("-bench", h.env), 1);
    EXPECT_EQ(h.err.str(), "lumek: cannot write bench.txt: Is a directory\n");
    EXPECT_FALSE(h.out.str().empty()) << "the result is still shown";
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("bench.txt")));
    EXPECT_EQ(h.slots.currentImage, nullptr);
}

// The generator state after "-bench" from a fresh start: the walk, the
// warm-up and the 32 frames at 128 x 128 with aspect 1.333.
uint32_t expectedStateAfterBenchmark() {
    RandomStream random;
    random.advance(kWalkSteps);
    SceneLibrary library;
    buildSceneLibrary(library);
    FrameImage image(128, 128, 1.333f);
    RayRenderer renderer(&image, random);
    renderShot(8, library, renderer);
    for (int row = 1; row <= 8; ++row)
        for (int i = 0; i < 4; ++i) renderShot(row, library, renderer);
    deleteSceneShapes(library);
    return random.state();
}

TEST(BenchmarkRun, SettingSwitchesDoNotChangeWhatIsMeasured) {
    const uint32_t expected = expectedStateAfterBenchmark();
    for (const char* args : {"-bench", "-bench -t5 -r5 -s4 -i -b16", "-bench -shot3 -png"}) {
        test::TempDir dir;
        test::ScopedWorkingDir cwd(dir.path());
        programRandom().setState(RandomStream::kStartState);
        testing::internal::CaptureStdout();
        EXPECT_EQ(runProgram(args), 0) << args;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(programRandom().state(), expected) << args;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"bench.txt"}) << args;
        EXPECT_EQ(out.rfind("Datum: ", 0), 0u) << out;
    }
}

TEST(BenchmarkProgram, TwoRunsLeaveTwoEntriesAndPrintThem) {
    test::TempDir dir;
    const std::string exe = test::shellQuote(LUMEK_EXE);
    const test::ProcessResult first = test::runCommand(exe + " -bench", dir.path());
    const test::ProcessResult second = test::runCommand(exe + " -bench", dir.path());
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(second.status, 0);
    const std::string report = test::readFile(dir.file("bench.txt"));
    EXPECT_EQ(report, first.out + second.out);
    size_t lines = 0;
    for (char c : report) lines += c == '\n';
    EXPECT_EQ(lines, 10u);
    EXPECT_EQ(report.rfind("Datum: ", 0), 0u);
    EXPECT_NE(report.find("\n\nDatum: "), std::string::npos);
}

}  // namespace
}  // namespace lumek
