// The benchmark's result record: every figure of the run in "bench.jsonl",
// the same document alone on stdout with -json, and the comparison with the
// last run of the same work on the same machine.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/export_json.h"
#include "bench/history.h"
#include "bench/statistics.h"
#include "os/machine.h"
#include "os/processors.h"
#include "os/threads.h"
#include "support/files.h"
#include "support/process.h"

namespace lumek {
namespace {

using Json = nlohmann::json;

struct BenchRun {
    BenchRun() : env(library, slots, random, elapsed, lastTick) {
        env.out = &out;
        env.err = &err;
        env.roundSeconds = 0.05;
        env.threads = 2;
        env.version = "9.8.7";
        env.label = "bench-box";
        env.localTime = [] { return LocalTime{6, 12, 2026, 9, 5}; };
        env.utcNow = [] { return std::string("2026-12-06T08:05:00Z"); };
        env.machine.processor = {"Vendor", "Model 1"};
        env.machine.logicalOnline = 4;
        env.machine.logicalUsable = 2;
        env.machine.physicalCores = 2;
        env.machine.threadsPerCore = 1;
        env.machine.packages = 1;
        env.machine.system = {"Linux", "6.1", "Debian", ""};
    }
    int operator()(const char* args = "-bench") { return *BenchmarkRun(args, env); }

    SceneLibrary library;
    RenderSlots slots;
    RandomStream random;
    uint32_t elapsed = 0, lastTick = 0;
    std::ostringstream out, err;
    BenchEnvironment env;
};

// The number that the first group of `pattern` finds in `text`.
double numberIn(const std::string& text, const std::string& pattern) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(text, m, std::regex(pattern))) << pattern << "\n" << text;
    return m.size() > 1 ? std::stod(m[1]) : -1;
}

TEST(BenchRecord, HoldsEveryFigureAndEveryRound) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun run;
    ASSERT_EQ(run(), 0) << run.err.str();
    const std::vector<std::string> file = test::lines(test::readFile("bench.jsonl"));
    ASSERT_EQ(file.size(), 1u);
    const Json r = Json::parse(file[0]);

    EXPECT_EQ(r["format"], "lumek-bench");
    EXPECT_EQ(r["formatVersion"], 1);
    EXPECT_EQ(r["benchmarkVersion"], kBenchmarkVersion);
    EXPECT_EQ(r["label"], "bench-box");
    EXPECT_EQ(r["program"]["version"], "9.8.7");
    EXPECT_FALSE(r["program"]["compiler"].get<std::string>().empty());
    EXPECT_FALSE(r["program"]["rowShader"].get<std::string>().empty());
    EXPECT_EQ(r["time"]["utc"], "2026-12-06T08:05:00Z");
    EXPECT_EQ(r["time"]["local"], "2026-12-06T09:05");
    EXPECT_EQ(r["workload"]["id"], hashHex(benchWorkloadId()));
    EXPECT_EQ(r["workload"]["width"], 128);
    EXPECT_EQ(r["workload"]["frames"], 32);
    const Json& m = r["machine"];
    EXPECT_EQ(m["cpuVendor"], "Vendor");
    EXPECT_EQ(m["cpuModel"], "Model 1");
    EXPECT_EQ(m["logicalOnline"], 4);
    EXPECT_EQ(m["logicalUsable"], 2);
    EXPECT_EQ(m["physicalCores"], 2);
    EXPECT_EQ(m["threadsPerCore"], 1);
    EXPECT_EQ(m["os"]["name"], "Linux");
    EXPECT_TRUE(m["os"]["wine"].is_null());

    // The entry as its five lines print it.
    const std::string out = run.out.str();
    const Json& e = r["entry"];
    EXPECT_EQ(e["renderMs"].get<double>(), numberIn(out, "Render Dauer: ([0-9]+) ms"));
    EXPECT_EQ(e["renderRating"].get<double>(), numberIn(out, "ms   Rating: ([0-9.e+-]+) Tq7"));
    EXPECT_EQ(e["cpuMs"].get<double>(), numberIn(out, "CPUBench Dauer: ([0-9]+) ms"));
    EXPECT_EQ(e["coefficient"].get<double>(), numberIn(out, "Ratingkoeffizient: ([0-9.e+-]+)"));

    // Every one-thread round, as many as the line says, and their figures.
    const Json& one = r["oneThread"];
    const std::vector<int64_t> rounds = one["roundsNs"].get<std::vector<int64_t>>();
    ASSERT_EQ(rounds.size(), numberIn(out, "One thread: .* \\(median of ([0-9]+) rounds?\\)"));
    const RoundSummary s = summarizeRounds(rounds);
    EXPECT_EQ(one["medianNs"].get<double>(), s.medianNs);
    EXPECT_EQ(one["minNs"].get<double>(), s.minNs);
    EXPECT_EQ(one["maxNs"].get<double>(), s.maxNs);
    EXPECT_EQ(one["madNs"].get<double>(), s.madNs);
    EXPECT_EQ(one["noisy"].get<bool>(), s.noisy());
    EXPECT_DOUBLE_EQ(one["msPerRound"].get<double>(), s.medianNs / 1e6);
    EXPECT_DOUBLE_EQ(one["rating"].get<double>(), 33908.0 / one["msPerRound"].get<double>());

    const Json& all = r["allThreads"];
    EXPECT_EQ(all["threads"], 2);
    ASSERT_EQ(all["perThread"].size(), 2u);
    double roundsPerMs = 0;
    int allRounds = 0;
    for (const Json& t : all["perThread"]) {
        roundsPerMs += 1e6 / t["medianNs"].get<double>();
        allRounds += t["rounds"].get<int>();
    }
    EXPECT_EQ(allRounds, numberIn(out, "All threads: .* on 2 threads \\(([0-9]+) rounds?\\)"));
    EXPECT_DOUBLE_EQ(all["msPerRound"].get<double>(), 1 / roundsPerMs);
    EXPECT_DOUBLE_EQ(all["rating"].get<double>(), 33908.0 / all["msPerRound"].get<double>());
    EXPECT_DOUBLE_EQ(all["speedUp"].get<double>(),
                     one["msPerRound"].get<double>() / all["msPerRound"].get<double>());
    EXPECT_DOUBLE_EQ(all["efficiency"].get<double>(), all["speedUp"].get<double>() / 2);
    EXPECT_TRUE(r["physicalCores"].is_null()) << "one thread per core";

    EXPECT_EQ(r["check"]["wrongFrames"], 0);
    EXPECT_EQ(r["check"]["framesChecked"], 33 + 32 * (rounds.size() + allRounds));
}

TEST(BenchRecord, WithJsonStdoutHoldsTheRecordAloneAndBenchTxtItsFiveLines) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun run;
    ASSERT_EQ(run("-bench -json"), 0);
    const std::vector<std::string> out = test::lines(run.out.str());
    ASSERT_EQ(out.size(), 1u) << run.out.str();
    EXPECT_EQ(Json::parse(out[0]), Json::parse(test::readFile("bench.jsonl")));
    EXPECT_EQ(test::lines(test::readFile("bench.txt")).size(), 5u);
    // What people read went to stderr instead.
    EXPECT_EQ(run.err.str().rfind("Datum: 6.12.2026   Uhrzeit: 9:5\n", 0), 0u) << run.err.str();
    EXPECT_NE(run.err.str().find("\nAll threads: "), std::string::npos);
}

TEST(BenchRecord, CoresWithSeveralThreadsGetAThirdRatingOneBoundThreadPerCore) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun run;
    const int processor = os::affinityProcessors().front();
    run.env.machine.threadsPerCore = 2;
    run.env.coreProcessors = {processor};
    ASSERT_EQ(run(), 0);
    EXPECT_TRUE(std::regex_search(
        run.out.str(), std::regex("\nPhysical cores: [0-9.]+ ms per 32 frames on 1 thread, one "
                                  "bound to each core \\([0-9]+ rounds?\\), rating [0-9.]+ "
                                  "Tq7-Marks, [0-9.]+ times one thread; the further hardware "
                                  "threads add -?[0-9]+ %\n")))
        << run.out.str();
    const Json r = Json::parse(test::readFile("bench.jsonl"));
    const Json& phys = r["physicalCores"];
    ASSERT_TRUE(phys.is_object());
    EXPECT_EQ(phys["threads"], 1);
    EXPECT_EQ(phys["pinned"], true);
    EXPECT_EQ(phys["perThread"][0]["processor"], processor);
    EXPECT_DOUBLE_EQ(phys["rating"].get<double>(), 33908.0 / phys["msPerRound"].get<double>());
}

TEST(BenchRecord, ASecondRunComparesItselfWithTheLastOfTheSameWorkOnTheSameMachine) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun first, second;
    ASSERT_EQ(first(), 0);
    EXPECT_EQ(first.out.str().find("Compared with"), std::string::npos);
    second.env.utcNow = [] { return std::string("2026-12-07T08:05:00Z"); };
    ASSERT_EQ(second(), 0);
    EXPECT_TRUE(std::regex_search(
        second.out.str(),
        std::regex("\nCompared with the run of 2026-12-06T08:05:00Z: one thread [+-][0-9]+\\.[0-9] "
                   "%, (more than|within) the two runs' spread \\([0-9]+\\.[0-9] %\\); all "
                   "threads [+-][0-9]+\\.[0-9] %, (more than|within) the two runs' spread "
                   "\\([0-9]+\\.[0-9] %\\)\\.\n")))
        << second.out.str();
    EXPECT_EQ(test::lines(test::readFile("bench.jsonl")).size(), 2u);
    EXPECT_TRUE(second.err.str().empty()) << second.err.str();
}

// One real record of this program, made once: the reader's tests change
// it rather than running the benchmark for each case.
const std::string& realRecord() {
    static const std::string line = [] {
        test::TempDir dir;
        test::ScopedWorkingDir cwd(dir.path());
        BenchRun run;
        EXPECT_EQ(run(), 0);
        return test::lines(test::readFile("bench.jsonl")).at(0);
    }();
    return line;
}

// A result as the benchmark of BenchRun makes it, to compare history with.
BenchResult resultLikeRecord(const Json& record) {
    BenchRun run;
    BenchResult now;
    now.workloadId = benchWorkloadId();
    now.machine = run.env.machine;
    now.rowShader = record["program"]["rowShader"].get<std::string>();
    now.allThreads.threads = run.env.threads;
    return now;
}

TEST(BenchRecord, AnotherWorkloadOrMachineIsNeverCompared) {
    const Json record = Json::parse(realRecord());
    const BenchResult now = resultLikeRecord(record);
    const std::vector<std::function<void(Json&)>> others = {
        [](Json& r) { r["workload"]["id"] = "0000000000000000"; },
        [](Json& r) { r["machine"]["cpuModel"] = "Model 2"; },
        [](Json& r) { r["machine"]["logicalUsable"] = 64; },
        [](Json& r) { r["program"]["rowShader"] = "another"; },
        // The same work measured by another measure.
        [](Json& r) { r["benchmarkVersion"] = kBenchmarkVersion + 1; },
        // Not valid figures, or measured on fewer threads.
        [](Json& r) { r["check"]["wrongFrames"] = 7; },
        [](Json& r) { r["allThreads"]["threads"] = 1; },
    };
    test::TempDir dir;
    const std::string path = dir.file("bench.jsonl");
    test::writeFile(path, record.dump() + "\n");
    ASSERT_TRUE(readHistory(path, now).lastComparable.has_value()) << "the unchanged record";
    for (size_t i = 0; i < others.size(); ++i) {
        Json changed = record;
        others[i](changed);
        test::writeFile(path, changed.dump() + "\n");
        const History history = readHistory(path, now);
        EXPECT_FALSE(history.lastComparable.has_value()) << i;
        EXPECT_TRUE(history.skippedLines.empty()) << i;
    }
}

// Records of 1.1.0 carry neither a benchmark version nor a label: they
// measured version 1, and the label does not decide what is compared.
TEST(BenchRecord, ARecordWithoutTheBenchmarkVersionIsVersionOne) {
    Json record = Json::parse(realRecord());
    const BenchResult now = resultLikeRecord(record);
    record.erase("benchmarkVersion");
    record.erase("label");
    PastResult past;
    ASSERT_TRUE(readPastResult(record.dump(), past));
    EXPECT_EQ(past.benchmarkVersion, 1);
    EXPECT_EQ(past.label, "");
    test::TempDir dir;
    const std::string path = dir.file("bench.jsonl");
    test::writeFile(path, record.dump() + "\n");
    EXPECT_EQ(readHistory(path, now).lastComparable.has_value(), kBenchmarkVersion == 1);
}

TEST(BenchRecord, MalformedAndForeignLinesAreSkippedWithOneLineAndKept) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    const std::string before =
        "{\"format\":\"lumek-bench\",\"formatVersion\":1,\"oneThread\":{\"rating\":\n"
        "{\"format\":\"other-tool\",\"results\":[1,2,3]}\n"
        "\n"
        "[1,2]\n"
        "{\"format\":\"lumek-bench\",\"formatVersion\":2}\n";
    test::writeFile("bench.jsonl", before);
    BenchRun run;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(run.err.str(),
              "lumek: bench.jsonl: skipped 4 lines that are not results this program reads (1, 2, "
              "4, 5)\n");
    EXPECT_EQ(run.out.str().find("Compared with"), std::string::npos);
    const std::string after = test::readFile("bench.jsonl");
    EXPECT_EQ(after.substr(0, before.size()), before) << "never rewritten";
    EXPECT_TRUE(Json::parse(after.substr(before.size())).is_object());
}

TEST(BenchRecord, FiguresNoRunCanHaveMakeALineForeign) {
    const Json record = Json::parse(realRecord());
    PastResult past;
    ASSERT_TRUE(readPastResult(record.dump(), past));
    const std::vector<std::function<void(Json&)>> impossible = {
        [](Json& r) { r["oneThread"]["rating"] = 0; },
        [](Json& r) { r["allThreads"]["rating"] = -5; },
        [](Json& r) { r["time"]["utc"] = 5; },
        [](Json& r) { r["oneThread"]["spread"] = "x"; },
        [](Json& r) { r["allThreads"]["spread"] = -0.1; },
        [](Json& r) { r["machine"]["logicalUsable"] = 0; },
        [](Json& r) { r["check"]["wrongFrames"] = -1; },
        [](Json& r) { r["allThreads"].erase("threads"); },
        // Figures no run reaches, and a time that is no UTC time.
        [](Json& r) { r["oneThread"]["rating"] = 1e-300; },
        [](Json& r) { r["allThreads"]["rating"] = 1e300; },
        [](Json& r) { r["allThreads"]["spread"] = 1e300; },
        [](Json& r) { r["oneThread"]["spread"] = 2; },
        [](Json& r) { r["time"]["utc"] = "2026-12-06T08:05:00Z\n\x1b[31mwrong frame"; },
        [](Json& r) { r["time"]["utc"] = "yesterday"; },
        [](Json& r) { r["time"]["utc"] = "2026-13-06T08:05:00Z"; },
        [](Json& r) { r["time"]["utc"] = "2026-12-06T08:05:00+01:00"; },
    };
    for (size_t i = 0; i < impossible.size(); ++i) {
        Json changed = record;
        impossible[i](changed);
        EXPECT_FALSE(readPastResult(changed.dump(), past)) << i;
    }
}

TEST(BenchRecord, ALastLineCutShortIsSkippedAndTheNextRecordStartsALineOfItsOwn) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun run;
    const std::string whole = realRecord() + "\n";
    test::writeFile("bench.jsonl", whole + whole.substr(0, 300));  // a write the disk cut short
    ASSERT_EQ(run(), 0);
    const std::vector<std::string> lines = test::lines(test::readFile("bench.jsonl"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], whole.substr(0, 300));
    EXPECT_TRUE(Json::parse(lines[2]).is_object());
    // The whole record before the cut one is still compared with.
    EXPECT_NE(run.out.str().find("Compared with"), std::string::npos) << run.out.str();
    EXPECT_EQ(run.err.str(),
              "lumek: bench.jsonl: skipped 1 line that is not a result this program reads (2)\n");
}

TEST(BenchRecord, TextFromTheFileReachesTheTerminalWithItsControlCharactersEscaped) {
    PastResult before;
    before.utc = "\x1b[2J\nwrong frame 7\\";
    before.oneThreadRating = before.allThreadsRating = 1e-300;  // a change no buffer cuts
    BenchResult now;
    now.oneThread.msPerRound = now.allThreads.msPerRound = 1;
    now.oneThread.spread = now.allThreads.spread = 1e300;
    const std::string line = comparisonLine(before, now);
    EXPECT_EQ(line.find_first_of("\x1b\n"), std::string::npos) << line;
    EXPECT_EQ(line.rfind("Compared with the run of \\x1b[2J\\x0awrong frame 7\\\\: ", 0), 0u)
        << line;
    // Every digit of the changes and spreads is there: 33908 / 1e-300 in
    // percent has 307, 1e300 in percent 303.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        line, m,
        std::regex("one thread \\+([0-9]+)\\.[0-9] %, more than the two runs' spread \\(([0-9]+)"
                   "\\.[0-9] %\\); all threads")))
        << line;
    EXPECT_EQ(m[1].length(), 307);
    EXPECT_EQ(m[2].length(), 303);
}

TEST(BenchRecord, ALineLongerThanAnyRecordIsSkippedWithoutHoldingItInMemory) {
    // The junk line is longer than the memory the reader may take: read
    // whole, it would run out (and so be taken for the file's end).
    if (!std::string(LUMEK_RUNNER).empty()) GTEST_SKIP() << "under an emulator";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "address-space limits do not work under sanitizers";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "address-space limits do not work under sanitizers";
#endif
#endif
    const std::string record = realRecord();
    const BenchResult now = resultLikeRecord(Json::parse(record));
    test::TempDir dir;
    const std::string path = dir.file("bench.jsonl");
    {
        std::ofstream out(path, std::ios::binary);
        out << record << "\n";
        const std::string junk(1 << 20, 'j');
        for (int i = 0; i < 96; ++i) out << junk;
        out << "\n" << record.substr(0, 300);  // then a record cut short
    }
    const int status = test::statusInChild([&] {
        // Room for the reader's own needs, not for the junk line.
        const long pageKiB = sysconf(_SC_PAGESIZE) / 1024;
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages * pageKiB + 48 * 1024) * 1024;
        const rlimit space{limit, limit};
        if (pages == 0 || setrlimit(RLIMIT_AS, &space) != 0) return 3;
        const History history = readHistory(path, now);
        if (!history.unreadable.empty()) return 4;
        if (history.skippedLines != std::vector<size_t>{2, 3}) return 5;
        if (!history.unterminated) return 6;
        return history.lastComparable ? 0 : 7;
    });
    EXPECT_EQ(status, 0) << "3: no limit, 4: unreadable, 5: wrong lines skipped, 6: the cut "
                            "record not seen, 7: the whole record not read";
}

TEST(BenchRecord, AHistoryThatCannotBeReadIsSaidAndItsEndStillKnown) {
    // Reading this process's memory at address 0 fails, like a disk error.
    const BenchResult now = resultLikeRecord(Json::parse(realRecord()));
    const History history = readHistory("/proc/self/mem", now);
    EXPECT_EQ(history.unreadable, "Input/output error");
    EXPECT_FALSE(history.refused);

    // The last byte decides where the next record starts, however far the
    // reading got.
    test::TempDir dir;
    test::writeFile(dir.file("ends"), realRecord() + "\n");
    test::writeFile(dir.file("cut"), realRecord() + "\n{\"format\"");
    EXPECT_FALSE(readHistory(dir.file("ends"), now).unterminated);
    EXPECT_TRUE(readHistory(dir.file("cut"), now).unterminated);
    EXPECT_FALSE(readHistory(dir.file("none"), now).unterminated);
}

TEST(BenchRecord, AFifoNamedLikeItsFilesIsRefusedWithOneLineAndNeverWaitedFor) {
    for (const char* name : {"bench.txt", "bench.jsonl"}) {
        test::TempDir dir;
        test::ScopedWorkingDir cwd(dir.path());
        ASSERT_EQ(mkfifo(name, 0664), 0);
        const int status = test::statusInChild([] {
            BenchRun run;
            const int result = run();
            test::writeFile("err", run.err.str());
            return result;
        });
        EXPECT_EQ(status, 1) << name;
        EXPECT_EQ(test::readFile("err"),
                  "lumek: cannot write " + std::string(name) + ": it is a FIFO, not a regular file\n")
            << name;
        struct stat fifo {};
        EXPECT_TRUE(stat(name, &fifo) == 0 && S_ISFIFO(fifo.st_mode)) << name;
    }
}

TEST(BenchRecord, BytesThatAreNoUtf8InTheSystemsNamesNeverStopTheRecord) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    test::FakeTree tree;
    tree.put("/etc/os-release", "PRETTY_NAME=\"Debian \xff\xfe bookworm\"\n");
    BenchRun run;
    run.env.machine.system.distribution = os::readLinuxDistribution(tree.root());
    ASSERT_EQ(run("-bench -json"), 0) << run.err.str();
    const Json record = Json::parse(test::readFile("bench.jsonl"));
    EXPECT_EQ(record["machine"]["os"]["distribution"], "Debian \xef\xbf\xbd\xef\xbf\xbd bookworm");
    EXPECT_EQ(Json::parse(run.out.str()), record) << "-json printed the same record";

    // Whatever text reaches the writer, it writes a record.
    BenchResult odd = resultLikeRecord(record);
    odd.machine.system.wine = "8.0\xc3";
    odd.utc = "\xff";
    const Json written = Json::parse(resultJson(odd));
    EXPECT_EQ(written["machine"]["os"]["wine"], "8.0\xef\xbf\xbd");
}

TEST(BenchRecord, AllThreadsOnFewerThreadsThanAskedIsSaidAndNotASuccess) {
    test::TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    BenchRun run;
    // The one-thread figure starts no thread; the all-threads figure's
    // helper is the first started, and it is refused.
    os::ThreadGroup::failStartForTests(1);
    const int status = run();
    os::ThreadGroup::failStartForTests(0);
    EXPECT_EQ(status, 1);
    EXPECT_NE(run.err.str().find("lumek: could start only 1 of 2 threads; the all-threads figure "
                                 "is for 1\n"),
              std::string::npos)
        << run.err.str();
    EXPECT_NE(run.out.str().find("All threads: "), std::string::npos);
    EXPECT_EQ(Json::parse(test::readFile("bench.jsonl"))["allThreads"]["threads"], 1);
}

// The people's lines end with one summary line whose scores are the
// record's; all-threads rounds spread over 3 % and a speed-up below 1 are
// said there (the round times injected: a busy machine cannot be ordered).
TEST(BenchRecord, TheScoreLineHoldsTheRecordsScoresAndBothNoiseVerdicts) {
    struct Case {
        std::vector<int64_t> one, all;  // each all-threads thread gets `all`
        std::vector<std::string> said, unsaid;
    };
    const Case cases[] = {
        {{5000000, 5000000, 5010000},
         {20000000, 26000000, 14000000, 23000000, 17000000},
         {"one thread steady (spread 0.0 %)", "all threads noisy (spread 22.2 %, over 3 %",
          "all threads only 0.50 times one thread: another program was probably busy"},
         {"one thread noisy"}},
        {{5000000, 5200000, 4800000, 5300000, 4700000},
         {5000000, 5000000, 5010000},
         {"one thread noisy (spread 5.9 %", "all threads steady (spread 0.0 %)"},
         {"only", "all threads noisy"}},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::ScopedWorkingDir cwd(dir.path());
        BenchRun run;
        run.env.roundTimes = [&c](const char* figure, std::vector<ThreadRounds>& threads) {
            for (ThreadRounds& t : threads)
                t.roundNs = std::string(figure) == "one" ? c.one : c.all;
        };
        ASSERT_EQ(run(), 0) << run.err.str();
        const std::vector<std::string> people = test::lines(run.out.str());
        ASSERT_FALSE(people.empty());
        const std::string& line = people.back();
        const Json r = Json::parse(test::lines(test::readFile("bench.jsonl")).at(0));
        const std::string expected =
            "Score: one thread " + formatGeneral(r["oneThread"]["rating"].get<double>()) +
            ", all threads " + formatGeneral(r["allThreads"]["rating"].get<double>()) +
            " Tq7-Marks (higher is better); ";
        EXPECT_EQ(line.rfind(expected, 0), 0u) << line;
        for (const std::string& text : c.said) EXPECT_NE(line.find(text), std::string::npos) << line;
        for (const std::string& text : c.unsaid)
            EXPECT_EQ(line.find(text), std::string::npos) << line;
        // The entry's five lines still open the output, unchanged in form.
        EXPECT_EQ(people.at(0).rfind("Datum: 6.12.2026", 0), 0u) << people.at(0);
    }
}

TEST(RoundStatistics, MedianMadAndTheRobustSpread) {
    const RoundSummary s = summarizeRounds({100, 104, 96, 300, 102});
    EXPECT_EQ(s.count, 5u);
    EXPECT_EQ(s.medianNs, 102);
    EXPECT_EQ(s.minNs, 96);
    EXPECT_EQ(s.maxNs, 300);
    EXPECT_EQ(s.madNs, 2) << "deviations 2, 2, 6, 198, 0: the outlier does not move it";
    EXPECT_DOUBLE_EQ(s.spread, 1.4826 * 2 / 102);
    EXPECT_FALSE(s.noisy());

    const RoundSummary even = summarizeRounds({10, 20, 30, 40});
    EXPECT_EQ(even.medianNs, 25);
    EXPECT_EQ(even.madNs, 10);
    EXPECT_TRUE(even.noisy());

    EXPECT_EQ(summarizeRounds({5}).spread, 0) << "one round has no spread";
    EXPECT_EQ(summarizeRounds({}).count, 0u);
}

TEST(RoundStatistics, ThreePercentIsTheEdgeOfNoisy) {
    // Median 1000, MAD 20: 2.97 % is quiet; MAD 21: 3.11 % is noisy.
    EXPECT_FALSE(summarizeRounds({980, 1000, 1020}).noisy());
    EXPECT_TRUE(summarizeRounds({979, 1000, 1021}).noisy());
}

}  // namespace
}  // namespace lumek
