#include "bench/bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
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
        env.roundSeconds = 0.05;
        env.threads = 2;
    }

    // Stdout without the lines after the entry.
    std::string entry() const {
        const std::string text = out.str();
        const size_t end = text.find("\n\n");
        return end == std::string::npos ? text : text.substr(0, end + 2);
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
    EXPECT_EQ(h.entry(), formatBenchReport(10, 10, {6, 12, 2026, 9, 5}, "\n"));
    EXPECT_EQ(test::readFile(dir.file("bench.txt")),
              formatBenchReport(10, 10, {6, 12, 2026, 9, 5}));

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
    for (const char* args :
         {"-bench", "-bench -t5 -r5 -s4 -i -b16", "-bench -shot3 -png -stress"}) {
        test::TempDir dir;
        test::ScopedWorkingDir cwd(dir.path());
        Harness h;
        EXPECT_EQ(BenchmarkRun(args, h.env), 0) << args;
        EXPECT_EQ(h.random.state(), expected) << args;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bench.jsonl", "bench.txt"})) << args;
        EXPECT_EQ(h.entry(), formatBenchReport(10, 10, {6, 12, 2026, 9, 5}, "\n")) << args;
    }
}

// Changes one byte of the named frame, once.
struct Tamper {
    int thread;
    uint64_t round;  // 0: the entry's frames
    int index;
    bool done = false;
    void operator()(FrameImage& image, int t, uint64_t r, const BenchFrame& f) {
        if (done || t != thread || r != round || f.index != index) return;
        image.pixels[4 * (37 * image.getWidth() + 21) + 1] ^= 0x10;
        done = true;
    }
};

TEST(BenchmarkRun, AWrongFrameOfTheEntryIsReportedAndEndsWithStatusTwo) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    auto tamper = std::make_shared<Tamper>(Tamper{0, 0, 10});
    h.env.tamper = [tamper](FrameImage& i, int t, uint64_t r, const BenchFrame& f) {
        (*tamper)(i, t, r, f);
    };
    EXPECT_EQ(BenchmarkRun("-bench", h.env), 2);
    // Frame 10 is row 3's second repetition.
    const std::regex line(
        "lumek: wrong frame: the entry's frame 10, row 3, repetition 2: "
        "expected " +
        hashHex(expectedFrameHash(10)) + ", got ([0-9a-f]{16})\n");
    std::smatch match;
    const std::string err = h.err.str();
    ASSERT_TRUE(std::regex_match(err, match, line)) << err;
    EXPECT_NE(match[1].str(), hashHex(expectedFrameHash(10)));
    // The entry is still appended, and stdout says it is not valid.
    EXPECT_EQ(test::readFile(dir.file("bench.txt")),
              formatBenchReport(10, 10, {6, 12, 2026, 9, 5}));
    EXPECT_NE(h.out.str().find("Check: 1 of 33 frames of the entry are WRONG"), std::string::npos)
        << h.out.str();
}

TEST(BenchmarkRun, AWrongFrameInTheRoundsMakesTheirFigureInvalid) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    auto tamper = std::make_shared<Tamper>(Tamper{1, 1, 32});
    h.env.tamper = [tamper](FrameImage& i, int t, uint64_t r, const BenchFrame& f) {
        (*tamper)(i, t, r, f);
    };
    EXPECT_EQ(BenchmarkRun("-bench", h.env), 2);
    EXPECT_EQ(h.err.str().rfind("lumek: wrong frame: thread 1, round 1, row 8, repetition 4: ", 0),
              0u)
        << h.err.str();
    const std::string out = h.out.str();
    EXPECT_NE(out.find("Check: all 33 frames of the entry are exactly"), std::string::npos);
    EXPECT_NE(out.find("All threads: "), std::string::npos);
    EXPECT_NE(out.find("1 wrong frame: not valid\n"), std::string::npos) << out;
}

TEST(BenchmarkRun, RatesOneThreadAndAllThreadsOnTheEntrysScale) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    Harness h;
    h.env.roundSeconds = 0.2;
    ASSERT_EQ(BenchmarkRun("-bench", h.env), 0);
    std::istringstream lines(h.out.str().substr(h.entry().size()));
    std::string check, one, all;
    std::getline(lines, check);
    std::getline(lines, one);
    std::getline(lines, all);
    EXPECT_EQ(check, "Check: all 33 frames of the entry are exactly the known-good pictures.");
    const std::string number = "([0-9.]+)";
    std::smatch m;
    ASSERT_TRUE(std::regex_match(one, m,
                                 std::regex("One thread: " + number +
                                            " ms per 32 frames \\(median of [1-9][0-9]* "
                                            "rounds?\\), rating " +
                                            number + " Tq7-Marks")))
        << one;
    double ms = std::stod(m[1]);
    EXPECT_NEAR(std::stod(m[2]), 33908.0 / ms, 33908.0 / ms * 1e-2);
    ASSERT_TRUE(
        std::regex_match(all, m,
                         std::regex("All threads: " + number +
                                    " ms per 32 frames on 2 threads \\([1-9][0-9]* "
                                    "rounds?\\), rating " +
                                    number + " Tq7-Marks, " + number + " times one thread")))
        << all;
    ms = std::stod(m[1]);
    EXPECT_NEAR(std::stod(m[2]), 33908.0 / ms, 33908.0 / ms * 1e-2);
    EXPECT_GT(std::stod(m[3]), 0.0);
}

TEST(BenchmarkRun, TheFigureLinesSayRatingSpeedUpAndWrongFrames) {
    RoundFigures one = roundFigures(1, 45, 0, 33.908);
    EXPECT_EQ(oneThreadLine(one),
              "One thread: 33.91 ms per 32 frames (median of 45 rounds), rating 1000 Tq7-Marks");
    one.rounds = 1;
    one.wrongFrames = 3;
    EXPECT_EQ(oneThreadLine(one),
              "One thread: 33.91 ms per 32 frames (median of 1 round), rating "
              "1000 Tq7-Marks; 3 wrong frames: not valid");
    RoundFigures all = roundFigures(2, 87, 0, 16.954);
    EXPECT_EQ(allThreadsLine(all, 33.908),
              "All threads: 16.95 ms per 32 frames on 2 threads (87 rounds), rating 2000 "
              "Tq7-Marks, 2.00 times one thread");
    // The web page's workers, with the speed-up before the wrong frames.
    all = roundFigures(1, 1, 1, 33.908);
    EXPECT_EQ(allThreadsLine(all, 30.5172, "worker"),
              "All workers: 33.91 ms per 32 frames on 1 worker (1 round), rating 1000 Tq7-Marks, "
              "0.90 times one thread; 1 wrong frame: not valid");
}

// The entry: stdout up to its empty fifth line.
std::string entryOf(const std::string& out) { return out.substr(0, out.find("\n\n") + 2); }

TEST(BenchmarkProgram, TwoRunsLeaveTwoEntriesAndPrintThemWithTheirChecksAndRatings) {
    test::TempDir dir;
    const std::string exe = test::lumekCommand();
    // Every kind of setting switch, and the other modes, change nothing.
    const test::ProcessResult first = test::runCommand(exe + " -bench", dir.path());
    const test::ProcessResult second =
        test::runCommand(exe + " -bench -t5 -r5 -s4 -i -b16 -stress -shot1 -png", dir.path());
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    const std::string report = test::readFile(dir.file("bench.txt"));
    EXPECT_EQ(report, entryOf(first.out) + entryOf(second.out));
    for (const test::ProcessResult* r : {&first, &second}) {
        const std::string after = r->out.substr(entryOf(r->out).size());
        EXPECT_EQ(after.rfind("Check: all 33 frames of the entry are exactly the known-good "
                              "pictures.\nOne thread: ",
                              0),
                  0u)
            << after;
        EXPECT_NE(after.find("\nAll threads: "), std::string::npos) << after;
        // Then only a line on noise, on the second run the comparison, and
        // last the score.
        std::istringstream lines(after);
        std::vector<std::string> rest;
        int count = 0;
        for (std::string line; std::getline(lines, line); ++count)
            if (count >= 3) rest.push_back(line);
        ASSERT_FALSE(rest.empty()) << after;
        EXPECT_EQ(rest.back().rfind("Score: one thread ", 0), 0u) << rest.back();
        rest.pop_back();
        for (const std::string& line : rest)
            EXPECT_TRUE(line.rfind("Noise: ", 0) == 0 || line.rfind("Compared with ", 0) == 0)
                << line;
        EXPECT_TRUE(r->err.empty()) << r->err;
    }
    EXPECT_EQ(first.out.find("Compared with "), std::string::npos);
    EXPECT_NE(second.out.find("\nCompared with the run of "), std::string::npos) << second.out;
    size_t lines = 0;
    for (char c : report) lines += c == '\n';
    EXPECT_EQ(lines, 10u);
    EXPECT_EQ(report.rfind("Datum: ", 0), 0u);
    EXPECT_NE(report.find("\n\nDatum: "), std::string::npos);
}

}  // namespace
}  // namespace lumek
