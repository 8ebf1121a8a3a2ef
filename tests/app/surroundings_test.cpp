// The real program when its surroundings misbehave: signals its parent
// ignores, a reader that goes away, a full or closed standard output,
// memory that runs out, and other processes appending to the same report.
// Nothing may be lost silently, no temporary file may stay behind, and a
// failure is never reported as success.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/golden.h"
#include "support/process.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;
using test::ProcessResult;
using test::TempDir;

std::string lumek() { return test::lumekCommand(); }

bool anyTemporaryFile(const TempDir& dir) {
    for (const std::string& name : dir.entries())
        if (name.find(".tmp") != std::string::npos) return true;
    return false;
}

TEST(Surroundings, NohupKeepsARecordingGoingThroughSighup) {
    TempDir dir;
    test::ChildProcess record({"/usr/bin/nohup", LUMEK_EXE, "-record", "-t3"}, {}, dir.path(),
                              dir.file("show.y4m"), dir.file("err"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(record.running()) << "the signal must arrive while it records";
    record.signal(SIGHUP);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(record.running()) << test::readFile(dir.file("err"));
    record.signal(SIGTERM);  // not ignored: ends the stream after a whole frame
    EXPECT_EQ(record.waitFor(20s), 130);
    EXPECT_NE(test::readFile(dir.file("err")).find("Stopped after"), std::string::npos)
        << test::readFile(dir.file("err"));
}

TEST(Surroundings, AnIgnoredSigintLeavesTheStressRunGoing) {
    // A shell's background job starts with SIGINT ignored: Ctrl+C in the
    // terminal is not meant for it.
    TempDir dir;
    test::ChildProcess stress(test::lumekArgv({"-stress"}), {}, dir.path(), dir.file("out"),
                              dir.file("err"), {SIGINT});
    std::this_thread::sleep_for(500ms);
    stress.signal(SIGINT);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(stress.running());
    stress.signal(SIGTERM);  // not ignored: stops it as ever
    EXPECT_EQ(stress.waitFor(20s), 0);
    EXPECT_NE(test::readFile(dir.file("out")).find("Stopped after"), std::string::npos);
}

// A stop before a set length, or before -cycle has had every core once,
// is no pass: "lumek -stress30 && echo stable" under timeout or a service
// stop must not say "stable".
TEST(Surroundings, AStabilityRunStoppedBeforeItsEndIsNoPass) {
    for (const char* mode : {"-stress30", "-cycle"}) {
        TempDir dir;
        test::ChildProcess run(test::lumekArgv({mode}), {}, dir.path(), dir.file("out"),
                               dir.file("err"));
        std::this_thread::sleep_for(500ms);
        run.signal(SIGTERM);
        EXPECT_EQ(run.waitFor(20s), 130) << mode;
        const std::string out = test::readFile(dir.file("out"));
        EXPECT_NE(out.find(", so it is no pass (status 130).\n"), std::string::npos)
            << mode << "\n"
            << out;
    }
}

// With SIGPIPE ignored, as services start programs, a stability run whose
// reader has gone does not keep every core busy for no one: it ends with 1
// and its summary on stderr.
TEST(Surroundings, AStabilityRunWhoseReaderHasGoneEndsWithItsSummaryOnStderr) {
    for (const char* mode : {"-stress", "-cycle"}) {
        TempDir dir;
        const ProcessResult r = test::runCommand(
            "bash -c " + test::shellQuote("trap '' PIPE; timeout -s KILL 20 " + lumek() + " " +
                                          mode + " 2>err | head -c 50 >/dev/null; "
                                          "echo ${PIPESTATUS[0]}"),
            dir.path());
        EXPECT_EQ(r.out, "1\n") << mode;
        const std::string err = test::readFile(dir.file("err"));
        EXPECT_NE(err.find("lumek: cannot write to standard output: Broken pipe\n"),
                  std::string::npos)
            << mode << "\n"
            << err;
        EXPECT_NE(err.find("\nStopped after 0:0"), std::string::npos) << mode << "\n" << err;
    }
}

TEST(Surroundings, AReaderThatGoesAwayLeavesEveryPictureWrittenAndNoTemporaryFile) {
    TempDir dir;
    const ProcessResult r = test::runCommand(
        "{ " + lumek() +
            " -shot1 -shot2 -shot3 -shot4 -shot5 -shot6 -shot7 -shot8 -png; echo $? >status; }"
            " | head -c 1",
        dir.path());
    EXPECT_EQ(test::readFile(dir.file("status")), "1\n") << r.err;
    EXPECT_FALSE(anyTemporaryFile(dir));
    EXPECT_EQ(dir.entries().size(), 17u) << "eight pictures, eight PNGs and the status";
    EXPECT_NE(r.err.find("lumek: cannot write to standard output: Broken pipe\n"),
              std::string::npos)
        << r.err;
}

TEST(Surroundings, ALeftoverTemporaryFileNeverBlocksAPicture) {
    // The name the program once made from its process id alone.
    TempDir dir;
    const ProcessResult r = test::runCommand(
        "echo $$ >pid; touch Lumeklogo.raw.tmp$$.0; exec " + lumek() + " -shot1", dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::sha256OfFile(dir.file("Lumeklogo.raw")), test::kGoldenShots[0].second);
    const std::string pid = test::lines(test::readFile(dir.file("pid"))).at(0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"Lumeklogo.raw",
                                                       "Lumeklogo.raw.tmp" + pid + ".0", "pid"}))
        << "someone else's file is left alone";
}

TEST(Surroundings, AClosedStandardOutputNeverReceivesAPicturesReportAndFails) {
    // With descriptor 1 closed, the next file opened would get it.
    TempDir dir;
    const ProcessResult r = test::runCommand(lumek() + " -shot1 -shot2 -png >&-", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumek: cannot write to standard output: Bad file descriptor\n");
    EXPECT_EQ(test::sha256OfFile(dir.file("Lumeklogo.raw")), test::kGoldenShots[0].second);
    EXPECT_EQ(test::sha256OfFile(dir.file("ColorCircles.raw")), test::kGoldenShots[1].second);
    EXPECT_EQ(test::sha256OfFile(dir.file("Lumeklogo.png")), test::goldenPngHash("Lumeklogo"));
}

TEST(Surroundings, AFullStandardOutputFailsEveryModeWithOneLine) {
    const std::string full = "lumek: cannot write to standard output: No space left on device\n";
    for (const char* args : {"-bench", "-shot1 -png"}) {
        TempDir dir;
        const ProcessResult r = test::runCommand(lumek() + " " + args + " >/dev/full", dir.path());
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, full) << args;
    }
    {
        TempDir dir;
        const ProcessResult r = test::runCommand(lumek() + " -record -t1 >/dev/full", dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
                  "lumek: the video stream could not be written (No space left on device) after 0 "
                  "frames (show time 0:00) in 0.0 s.\n");
    }
    // A stability run does not go on for no one: it ends by itself, with
    // its summary on stderr after the line.
    TempDir dir;
    test::ChildProcess stress(test::lumekArgv({"-stress"}), {}, dir.path(), "/dev/full",
                              dir.file("err"));
    EXPECT_EQ(stress.waitFor(20s), 1);
    const std::string err = test::readFile(dir.file("err"));
    EXPECT_EQ(err.compare(0, full.size(), full), 0) << err;
    EXPECT_TRUE(std::regex_search(err, std::regex("\nStopped after 0:0[0-9]: .*; every frame was "
                                                  "right.\n")))
        << err;
}

TEST(Surroundings, AFullDiskCutsAVideoShortAndCountsOnlyWholeFrames) {
    // A file size limit of 8,704 bytes takes the header, two frames of
    // 32 x 32 and part of a third; with its signal ignored, the write that
    // goes over fails as on a full disk.
    TempDir dir;
    const ProcessResult r = test::runCommand(
        "trap '' XFSZ; ulimit -f 17; " + lumek() + " -record -t1 >show.y4m; echo $? >status",
        dir.path());
    const std::string err = r.err;
    EXPECT_EQ(test::readFile(dir.file("status")), "1\n") << err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err, m,
                                  std::regex("could not be written \\(File too large\\) "
                                             "after ([0-9]+) frames")))
        << err;
    const size_t frameBytes = 6 + 32 * 32 * 3;  // "FRAME\n" and the planes
    const size_t size = test::readFile(dir.file("show.y4m")).size();
    const size_t header = test::readFile(dir.file("show.y4m")).find("FRAME\n");
    EXPECT_EQ(std::stoul(m[1]), (size - header) / frameBytes) << size;
    EXPECT_EQ(err.find("Recorded"), std::string::npos) << err;
}

TEST(Surroundings, TwoBenchmarksAppendingAtOnceLeaveEveryEntryWhole) {
    TempDir dir;
    const std::string five =
        "for i in 1 2 3 4 5; do " + lumek() + " -bench >/dev/null || exit 1; done";
    const ProcessResult r =
        test::runCommand("(" + five + ") & (" + five + ") & wait %1 && wait %2", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> text = test::lines(test::readFile(dir.file("bench.txt")));
    ASSERT_EQ(text.size(), 50u);
    for (size_t e = 0; e < 10; ++e) {
        EXPECT_EQ(text[e * 5].rfind("Datum: ", 0), 0u) << e;
        EXPECT_EQ(text[e * 5 + 1].rfind("Render Dauer: ", 0), 0u) << e;
        EXPECT_EQ(text[e * 5 + 2].rfind("CPUBench Dauer: ", 0), 0u) << e;
        EXPECT_EQ(text[e * 5 + 3].rfind("Ratingkoeffizient: ", 0), 0u) << e;
        EXPECT_TRUE(text[e * 5 + 4].empty()) << e;
    }
}

// Memory limits from too little to start to enough for everything: every
// allocation on the way is at some limit the one that fails. Sanitizers
// and emulators reserve more address space than any such limit allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMEK_NO_ADDRESS_LIMITS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LUMEK_NO_ADDRESS_LIMITS
#endif
#endif

// Whether a run got as far as the program: the shell and the dynamic
// loader fail earlier, with 126 or 127 (or a crash with the smallest limits,
// before the loader has a stack).
bool reachedProgram(const ProcessResult& r) {
    return r.status != 126 && r.status != 127 && r.status != 139;
}

// Runs `command` (where "LIMIT;" stands, a limit of address space is set)
// under rising limits, from the first at which the program starts up to the first at which
// `complete` says it did all its work; checks every run on the way and returns how many failed for
// memory.
template <class Complete>
int sweepMemory(const std::string& command, Complete complete) {
    auto run = [&command](int limitKiB, TempDir& dir) {
        std::string text = command;
        text.replace(text.find("LIMIT;"), 6, "ulimit -v " + std::to_string(limitKiB) + ";");
        return test::runCommand(text, dir.path());
    };
    // Where the program starts at all, found cheaply with --version.
    auto starts = [](int limitKiB) {
        TempDir dir;
        return reachedProgram(test::runCommand(
            "ulimit -v " + std::to_string(limitKiB) + "; " + lumek() + " --version", dir.path()));
    };
    int low = 1024, high = 1 << 20;
    if (starts(low) || !starts(high)) {
        ADD_FAILURE() << "no limit between " << low << " and " << high << " KiB stops the start";
        return 0;
    }
    while (high - low > 4) {
        const int middle = (low + high) / 2;
        (starts(middle) ? high : low) = middle;
    }
    const int first = high;
    int failedForMemory = 0;
    for (int limit = first; limit < (1 << 21);) {
        TempDir dir;
        const ProcessResult r = run(limit, dir);
        const std::string where = "at " + std::to_string(limit) + " KiB: " + r.err;
        EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 141) << where;
        EXPECT_FALSE(anyTemporaryFile(dir)) << where;
        for (const std::string& line : test::lines(r.err))
            EXPECT_EQ(line.rfind("lumek: ", 0), 0u) << where;
        if (r.status == 1) {
            EXPECT_FALSE(r.err.empty()) << where;
            if (r.err.find("not enough memory") != std::string::npos) ++failedForMemory;
        }
        if (complete(r)) return failedForMemory;
        // Fine steps where the program's own allocations are; wider ones
        // through the pictures' megabytes.
        limit += limit - first < 512 ? 16 : std::max(16, limit / 25);
    }
    ADD_FAILURE() << "never completed";
    return failedForMemory;
}

class MemorySweep : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef LUMEK_NO_ADDRESS_LIMITS
        GTEST_SKIP() << "address-space limits do not work under sanitizers";
#endif
        if (!std::string(LUMEK_RUNNER).empty()) GTEST_SKIP() << "under an emulator";
    }
};

TEST_F(MemorySweep, RunningOutOfMemoryEndsScreenshotsWithOneLineAndNoTemporaryFile) {
    const int failures = sweepMemory("LIMIT; " + lumek() + " -shot1 -shot2 -png",
                                     [](const ProcessResult& r) { return r.status == 0; });
    EXPECT_GT(failures, 0) << "the sweep never ran out of memory";
}

TEST_F(MemorySweep, RunningOutOfMemoryEndsTheBenchmarkWithOneLine) {
    // Done once every figure was measured, on all threads or (said, status
    // 1) on those the system let start: each run from there takes seconds.
    const int failures = sweepMemory("LIMIT; " + lumek() + " -bench", [](const ProcessResult& r) {
        return r.status == 0 ||
               (r.status == 1 && r.err.find("lumek: could start only ") != std::string::npos);
    });
    EXPECT_GT(failures, 0) << "the sweep never ran out of memory";
}

TEST_F(MemorySweep, RunningOutOfMemoryEndsARecordingWithOneLine) {
    // The reader takes a million bytes and goes: the recording then ends by
    // SIGPIPE, as a stream's writer does. At 32 x 32 everything fits in
    // what the program has once it starts; at 512 x 512 it does not.
    auto sweep = [](const char* size) {
        return sweepMemory("{ LIMIT; " + lumek() + " -record " + size +
                               "; echo $? >status; } | head -c 1000000 >/dev/null; "
                               "exit $(cat status)",
                           [](const ProcessResult& r) { return r.status == 141; });
    };
    sweep("-t1");
    EXPECT_GT(sweep("-t5"), 0) << "the sweep never ran out of memory";
}

}  // namespace
// A scene file too large for the memory there is: one line that says so
// and status 1. A tree that a failed allocation cut short cannot be freed
// safely, so the reader must see it coming (the program used to abort).
TEST_F(MemorySweep, ASceneFileTooLargeForTheMemoryIsRefused) {
    TempDir dir;
    std::string points;
    for (int i = 0; i < 200000; ++i)
        points += (i ? ", [" : "[") + std::to_string(i % 1000) + ", " + std::to_string(i / 1000) + "]";
    test::writeFile(dir.file("big.json"),
                    "{\"format\": \"lumek-scene\", \"version\": 1, \"view\": {\"centre\": [0, 0], "
                    "\"height\": 1}, \"shapes\": [{\"type\": \"polyline\", \"points\": [" +
                        points + "], \"colour\": \"#ffffff\", \"falloff\": 1}]}");
    const ProcessResult r = test::runCommand(
        "ulimit -v 60000; " + lumek() + " --scene big.json --check", dir.path());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.find("lumek: big.json: not enough memory to read it"), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

}  // namespace lumek
