// The real program's stress and benchmark modes as processes: signals end
// the stress run with a summary, every usable processor is kept busy, and
// the thread count and the processors follow what the process may use. These tests measure
// processor time, so they run alone.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "os/processors.h"
#include "os/system.h"
#include "support/files.h"
#include "support/process.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;

TEST(StressProgram, SigintEndsItWithASummaryAfterKeepingEveryProcessorBusy) {
    test::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    test::ChildProcess lumek(test::lumekArgv({"-stress"}), {}, dir.path(), dir.file("out"),
                             dir.file("err"));
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(lumek.running());
    lumek.signal(SIGINT);
    EXPECT_EQ(lumek.waitFor(10s), 0);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string out = test::readFile(dir.file("out"));
    EXPECT_NE(out.find("every frame was right.\n"), std::string::npos) << out;
    EXPECT_TRUE(test::readFile(dir.file("err")).empty());
    // Its one file is its log, from the start line to the summary.
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"err", "out", "stress.jsonl"}));
    const std::string log = test::readFile(dir.file("stress.jsonl"));
    EXPECT_EQ(log.rfind("{\"type\":\"start\",\"run\":\"", 0), 0u) << log;
    EXPECT_NE(log.find("\",\"mode\":\"stress\","), std::string::npos) << log;
    const size_t last = log.rfind('\n', log.size() - 2);
    EXPECT_NE(log.find("{\"type\":\"summary\",", last == std::string::npos ? 0 : last + 1),
              std::string::npos)
        << log;
    const int processors = os::usableProcessors();
    EXPECT_GE(lumek.cpuSeconds(), 0.85 * processors * wall)
        << "processor time " << lumek.cpuSeconds() << " s in " << wall << " s on " << processors
        << " processors";
}

TEST(StressProgram, SigtermAndSighupStopItTheSameWay) {
    for (int signal : {SIGTERM, SIGHUP}) {
        test::TempDir dir;
        test::ChildProcess lumek(test::lumekArgv({"-stress"}), {}, dir.path(), dir.file("out"),
                                 dir.file("err"));
        std::this_thread::sleep_for(500ms);
        lumek.signal(signal);
        EXPECT_EQ(lumek.waitFor(10s), 0) << signal;
        EXPECT_NE(test::readFile(dir.file("out")).find("Stopped after 0:00: "), std::string::npos)
            << signal;
    }
}

// Allowed only processor 1, the one thread renders there (as /proc shows
// for each thread) and the summary names that processor.
TEST(StressProgram, UnderTasksetItRendersOnProcessorOneOnlyAndNamesIt) {
    const std::vector<int> usable = os::affinityProcessors();
    if (std::find(usable.begin(), usable.end(), 1) == usable.end())
        GTEST_SKIP() << "processor 1 is not usable here";
    test::TempDir dir;
    std::vector<std::string> argv = {"/usr/bin/taskset", "-c", "1"};
    for (const std::string& word : test::lumekArgv({"-stress"})) argv.push_back(word);
    test::ChildProcess lumek(argv, {}, dir.path(), dir.file("out"), dir.file("err"));
    // Sampled once lumek runs (before, taskset itself does).
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (test::readFile(dir.file("out")).find("Temperatures") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    std::set<int> ranOn;
    std::set<std::string> allowed;
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < until) {
        for (const auto& [tid, processor] : test::lastProcessors(lumek.pid()))
            ranOn.insert(processor);
        for (const auto& [tid, list] : test::allowedProcessors(lumek.pid())) allowed.insert(list);
        std::this_thread::sleep_for(50ms);
    }
    lumek.signal(SIGINT);
    EXPECT_EQ(lumek.waitFor(10s), 0);
    EXPECT_EQ(ranOn, std::set<int>{1});
    EXPECT_EQ(allowed, std::set<std::string>{"1"});
    const std::string out = test::readFile(dir.file("out"));
    EXPECT_NE(out.find("Stress run on 1 thread: "), std::string::npos) << out;
    EXPECT_NE(out.find("\nEach thread is bound to a processor: 1.\n"), std::string::npos) << out;
    const std::string name = os::systemTopology().find(1).describe();
    EXPECT_NE(out.find("\n  " + name + ": "), std::string::npos) << name << "\n" << out;
    EXPECT_TRUE(test::readFile(dir.file("err")).empty());
}

TEST(BenchmarkProgram, OnOneAllowedProcessorTheRecordSaysOneUsableAndOneThread) {
    // With -json: the record alone on stdout, read by another language's
    // JSON parser; the people's lines on stderr; bench.txt its five lines.
    test::TempDir dir;
    const test::ProcessResult r = test::runCommand(
        "taskset -c 0 " + test::lumekCommand() + " -bench -json >record.json", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(" ms per 32 frames on 1 thread ("), std::string::npos) << r.err;
    const test::ProcessResult check = test::runCommand(
        "python3 -c 'import json, sys\n"
        "text = open(\"record.json\").read()\n"
        "assert text.count(\"\\n\") == 1, \"one line\"\n"
        "r = json.loads(text)\n"
        "assert r == json.loads(open(\"bench.jsonl\").read())\n"
        "print(r[\"machine\"][\"logicalUsable\"], r[\"allThreads\"][\"threads\"],"
        " len(r[\"allThreads\"][\"perThread\"]), len(r[\"oneThread\"][\"roundsNs\"]) =="
        " r[\"oneThread\"][\"rounds\"])'",
        dir.path());
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "1 1 1 True\n");
    const std::string report = test::readFile(dir.file("bench.txt"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 5) << report;
}

}  // namespace
}  // namespace lumek
