// The stability runs' log: whole JSON lines from the first (settings and
// machine) to the last (the summary), whole lines only after a kill, a log
// that cannot be written said once and turned into status 1, and the
// report page's charts of it.
#include "bench/stress_log.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/export_html.h"
#include "bench/stress.h"
#include "support/files.h"

namespace lumek {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// A short run: -stress1 is a minute, here 0.6 s, with a log line every
// 0.1 s.
struct ShortRun {
    explicit ShortRun(const std::string& log) {
        env.threads = 2;
        env.out = &out;
        env.err = &err;
        env.progressSeconds = 0.2;
        env.timeScale = 0.01;
        env.logSeconds = 0.1;
        env.logPath = log;
        env.stopRequested = [] { return false; };
    }
    std::ostringstream out, err;
    StressEnvironment env;
};

std::vector<Json> parsedLines(const std::string& text) {
    std::vector<Json> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(Json::parse(line));  // throws when cut
    return lines;
}

TEST(StressLog, ARunLeavesWholeLinesFromItsSettingsToItsSummary) {
    test::TempDir dir;
    ShortRun run(dir.file("stress.jsonl"));
    const std::optional<int> status = StressRun("-stress1", run.env);
    ASSERT_EQ(status, 0) << run.err.str();
    const std::string text = test::readFile(dir.file("stress.jsonl"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<Json> lines = parsedLines(text);
    ASSERT_GE(lines.size(), 4u) << text;
    EXPECT_EQ(lines.front()["type"], "start");
    EXPECT_EQ(lines.front()["mode"], "stress");
    EXPECT_EQ(lines.front()["lengthSeconds"], 60.0);
    EXPECT_EQ(lines.front()["processors"].size(), 2u);
    const Json& summary = lines.back();
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["status"], 0);
    EXPECT_EQ(summary["finishedAsSet"], true);
    EXPECT_EQ(summary["errors"], 0);
    uint64_t frames = 0;
    for (const Json& p : summary["processors"]) frames += p["frames"].get<uint64_t>();
    EXPECT_EQ(summary["frames"].get<uint64_t>(), frames);
    EXPECT_GT(frames, 0u);
    // Between them only intervals, each with every processor's figures,
    // and frames rendered in them.
    double rendered = 0;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["type"], "interval") << lines[i];
        ASSERT_EQ(lines[i]["processors"].size(), 2u) << lines[i];
        for (const Json& p : lines[i]["processors"]) rendered += p["framesPerSecond"].get<double>();
    }
    EXPECT_GT(rendered, 0);
    // The file is appended to: a second run adds its own lines.
    ShortRun again(dir.file("stress.jsonl"));
    ASSERT_EQ(StressRun("-stress1", again.env), 0);
    const std::vector<Json> both = parsedLines(test::readFile(dir.file("stress.jsonl")));
    EXPECT_EQ(both[lines.size()]["type"], "start");
    EXPECT_EQ(both.back()["type"], "summary");
}

TEST(StressLog, TheCoreCycleLogsEachCoreAndItsSummary) {
    test::TempDir dir;
    ShortRun run(dir.file("stress.jsonl"));
    run.env.processors = {0};
    run.env.pin = [](int) { return true; };
    run.env.stillPinned = [](int) { return true; };
    const auto stopAt = Clock::now() + std::chrono::milliseconds(500);
    run.env.stopRequested = [stopAt] { return Clock::now() >= stopAt; };
    ASSERT_EQ(CycleRun("-cycle10", run.env), 0) << run.err.str();
    const std::vector<Json> lines = parsedLines(test::readFile(dir.file("stress.jsonl")));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front()["mode"], "cycle");
    EXPECT_EQ(lines.front()["perCoreSeconds"], 10.0);
    EXPECT_EQ(lines.back()["type"], "summary");
    EXPECT_EQ(lines.back()["processors"].size(), 1u);
}

// A run after one whose last write was cut short (a full disk) starts on a
// line of its own, so that neither it nor the cut line is lost with the
// other.
TEST(StressLog, ARunAfterACutLineStartsOnALineOfItsOwn) {
    test::TempDir dir;
    test::writeFile(dir.file("stress.jsonl"), "{\"type\":\"start\",\"processors\":[]}\n{\"ty");
    ShortRun run(dir.file("stress.jsonl"));
    ASSERT_EQ(StressRun("-stress1", run.env), 0) << run.err.str();
    const std::string text = test::readFile(dir.file("stress.jsonl"));
    EXPECT_NE(text.find("\n{\"ty\n{\"type\":\"start\",\"run\":"), std::string::npos)
        << text;
    const std::vector<StressLogData> runs = readStressLog(text);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].skippedLines, 1u);
    EXPECT_EQ(runs[1].names.size(), 2u);
    EXPECT_TRUE(runs[1].ended);
}

// Killed at any moment, the log holds whole lines only: each is one
// appending write.
TEST(StressLog, AKilledRunLeavesOnlyWholeLines) {
    test::TempDir dir;
    const std::string path = dir.file("stress.jsonl");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ShortRun run(path);
        run.env.logSeconds = 0.005;
        StressRun("-stress", run.env);
        _exit(0);
    }
    // Killed once the log has lines in it, or after 20 s at the latest.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        const std::string text = test::readFile(path);
        if (std::count(text.begin(), text.end(), '\n') >= 20) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string text = test::readFile(path);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "a cut line at the end";
    std::vector<Json> lines;
    ASSERT_NO_THROW(lines = parsedLines(text)) << text;
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines.front()["type"], "start");
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i]["type"], "interval");
}

// A log that cannot be written is said once; the run goes on to its end,
// and since its data are lost it ends with status 1.
TEST(StressLog, ALogThatCannotBeWrittenIsSaidOnceAndTheRunEndsWithStatusOne) {
    test::TempDir dir;
    ShortRun run(dir.path());  // a folder
    EXPECT_EQ(StressRun("-stress1", run.env), 1);
    const std::string err = run.err.str();
    const std::string said = "lumek: cannot write the stress log " + dir.path() + ": ";
    ASSERT_NE(err.find(said), std::string::npos) << err;
    EXPECT_EQ(err.find(said, err.find(said) + 1), std::string::npos) << err;
    EXPECT_NE(run.out.str().find("Finished after 0:00 as set: "), std::string::npos)
        << run.out.str();
}

TEST(StressLog, IsReadBackAndDrawnAsOneLinePerProcessorWithErrorsMarked) {
    const std::string text =
        R"j({"type":"start","mode":"stress","utc":"2026-12-08T12:00:00Z","processors":[)j"
        R"j({"name":"processor 0 (core 0)","processor":0},{"name":"processor 1 (core 1)","processor":1},)j"
        R"j({"name":"processor 2 (core 2)","processor":2}],"machine":{"cpuModel":"Test CPU"}})j"
        "\n"
        R"j({"type":"interval","seconds":10,"processors":[{"framesPerSecond":50,"clockMHz":3000,"errors":0},)j"
        R"j({"framesPerSecond":51,"cpufreqMHz":2900,"clockMHz":3000,"errors":0},)j"
        R"j({"framesPerSecond":49,"clockMHz":3000,"errors":0}],"celsius":60})j"
        "\n"
        R"j({"type":"interval","seconds":20,"processors":[{"framesPerSecond":40,"clockMHz":2500,"errors":0},)j"
        R"j({"framesPerSecond":41,"clockMHz":2500,"errors":2},)j"
        R"j({"framesPerSecond":39,"clockMHz":2500,"errors":0}],"celsius":85})j"
        "\n"
        R"j({"type":"summary","status":2,"frames":2000,"errors":2})j"
        "\n";
    const std::vector<StressLogData> runs = readStressLog(text);
    ASSERT_EQ(runs.size(), 1u);
    const StressLogData* log = &runs[0];
    EXPECT_EQ(log->names.size(), 3u);
    ASSERT_EQ(log->samples.size(), 2u);
    EXPECT_EQ(log->samples[0].clockMHz[1], 2900) << "cpufreq's reading first";
    EXPECT_EQ(log->samples[1].errors[1], 2u);
    EXPECT_EQ(log->samples[1].celsius, 85);
    EXPECT_TRUE(log->ended);
    EXPECT_EQ(log->status, 2);

    const std::string html = resultsHtml({}, {"stress.jsonl"}, {*log});
    // The frames-per-second chart: one line per processor, one cross for
    // the interval with wrong frames.
    const size_t from = html.find("<svg class=\"chart stress-rate\"");
    ASSERT_NE(from, std::string::npos);
    const std::string chart = html.substr(from, html.find("</svg>", from) - from);
    const auto count = [](const std::string& in, const std::string& what) {
        size_t n = 0;
        for (size_t at = in.find(what); at != std::string::npos; at = in.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(chart, "<polyline class=\"trend"), 3u);
    EXPECT_EQ(count(chart, "<path class=\"error\""), 1u);
    EXPECT_NE(chart.find("processor 1 (core 1), 0:20: 2 wrong frames"), std::string::npos);
    EXPECT_NE(html.find("<svg class=\"chart stress-clock\""), std::string::npos);
    EXPECT_NE(html.find("<svg class=\"chart stress-temperature\""), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("No benchmark results"), std::string::npos);
}

// A month of intervals, or thousands of runs, make a page of bounded size:
// a thinned chart that keeps every wrong frame, and the latest runs.
TEST(StressLog, AHugeLogMakesAPageOfBoundedSize) {
    StressLogData month;
    month.names = {"processor 0"};
    for (int n = 0; n < 200000; ++n) {
        StressLogData::Sample s;
        s.seconds = 10.0 * (n + 1);
        s.framesPerSecond = {100.0 + n % 7};
        s.clockMHz = {3000};
        s.errors = {n == 123457 ? 1u : 0u};
        month.samples.push_back(s);
    }
    std::vector<StressLogData> logs(60, StressLogData{});
    logs.back() = month;
    const std::string html = resultsHtml({}, {"stress.jsonl"}, logs);
    EXPECT_LT(html.size(), 1000000u);
    EXPECT_NE(html.find("200000 intervals (about 2000 drawn)"), std::string::npos);
    EXPECT_NE(html.find("The latest 50 of 60 stress runs are drawn."), std::string::npos);
    EXPECT_NE(html.find("processor 0, 342:56:20: 1 wrong frame<"), std::string::npos);
}

TEST(StressLog, OnlyAStartLineMakesAFileAStressLogAndEachStartARunOfIt) {
    EXPECT_TRUE(readStressLog("").empty());
    EXPECT_TRUE(readStressLog("{\"entry\":{},\"machine\":{}}\n").empty());
    EXPECT_TRUE(readStressLog("{\"type\":\"interval\",\"processors\":[]}\n").empty());
    // A line cut by a crash of the disk is skipped, not fatal; the next
    // run appended after it is a run of its own, with its own processors.
    const std::vector<StressLogData> runs = readStressLog(
        "{\"type\":\"start\",\"processors\":[{\"name\":\"thread 0\"}]}\n{\"type\":\"inter\n"
        "{\"type\":\"start\",\"processors\":[{\"name\":\"a\"},{\"name\":\"b\"}]}\n"
        "{\"type\":\"interval\",\"seconds\":10,\"processors\":[{\"framesPerSecond\":1},"
        "{\"framesPerSecond\":2}]}\n"
        "{\"type\":\"summary\",\"status\":0}\n");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].skippedLines, 1u);
    EXPECT_FALSE(runs[0].ended);
    EXPECT_TRUE(runs[0].samples.empty());
    EXPECT_EQ(runs[1].names, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(runs[1].samples.size(), 1u);
    EXPECT_EQ(runs[1].samples[0].framesPerSecond[1], 2);
    EXPECT_TRUE(runs[1].ended);
    // A first start line cut short loses that run, not the runs after it.
    const std::vector<StressLogData> after = readStressLog(
        "{\"type\":\"sta\n{\"type\":\"interval\",\"processors\":[]}\n"
        "{\"type\":\"start\",\"processors\":[{\"name\":\"a\"}]}\n");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].names, std::vector<std::string>{"a"});
    EXPECT_EQ(after[0].skippedLines, 2u);
    // A log appended to benchmark records leaves the file theirs.
    EXPECT_TRUE(readStressLog("{\"entry\":{}}\n{\"type\":\"start\",\"processors\":[]}\n").empty());
}

// Two runs appending to one file at once: each line names its run, so
// neither takes the other's lines. Lines with figures no run writes (or of
// other types) are skipped, not drawn and not fatal.
TEST(StressLog, EachLineGoesToItsOwnRunAndImpossibleFiguresAreSkipped) {
    const std::vector<StressLogData> runs = readStressLog(
        "{\"type\":\"start\",\"run\":\"a\",\"mode\":5,\"processors\":[{\"name\":\"x\"}]}\n"
        "{\"type\":\"start\",\"run\":\"b\",\"processors\":[{\"name\":\"y\"}]}\n"
        "{\"type\":\"interval\",\"run\":\"a\",\"seconds\":10,\"processors\":[{\"framesPerSecond\":7}]}\n"
        "{\"type\":\"interval\",\"run\":\"b\",\"seconds\":1e308,\"processors\":[]}\n"
        "{\"type\":\"summary\",\"run\":\"a\",\"status\":0,\"frames\":70}\n"
        "{\"type\":\"summary\",\"run\":\"b\",\"status\":1e300,\"frames\":-5}\n"
        "{\"type\":\"summary\",\"run\":\"c\",\"status\":0}\n");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].mode, "");  // of another type
    ASSERT_EQ(runs[0].samples.size(), 1u);
    EXPECT_EQ(runs[0].samples[0].framesPerSecond[0], 7);
    EXPECT_TRUE(runs[0].ended);
    EXPECT_EQ(runs[0].frames, 70u);
    EXPECT_TRUE(runs[1].samples.empty());
    EXPECT_FALSE(runs[1].ended);
    EXPECT_EQ(runs[1].skippedLines, 3u);  // two impossible lines and one of no run
}

// Once a write failed (a full disk cuts a line short), nothing more is
// written: a later line would join the cut one.
TEST(StressLog, AfterAFailedWriteNoLaterLineIsWritten) {
    test::TempDir dir;
    const std::string path = dir.file("stress.jsonl");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    int said = 0;
    StressLog log(path, [&said](const std::string&) { ++said; });
    log.start(StressLogStart{});
    std::filesystem::remove(path);
    log.interval(StressLogInterval{});
    log.summary(StressLogSummary{});
    EXPECT_EQ(said, 1);
    EXPECT_TRUE(log.lost());
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace lumek
