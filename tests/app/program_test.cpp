// The whole program, run as a separate process in a fresh folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <regex>
#include <thread>

#include "support/files.h"
#include "support/process.h"
#include "util/switches.h"

namespace lumek {
namespace {

using test::ProcessResult;
using test::TempDir;

ProcessResult lumek(const std::string& args, const TempDir& dir) {
    return test::runCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY " + test::lumekCommand() + " " + args, dir.path());
}

TEST(Program, HelpNamesEverySwitchAndEndsWithZero) {
    TempDir dir;
    const ProcessResult r = lumek("--help", dir);
    EXPECT_EQ(r.status, 0);
    // Every switch of the table, the middle rows of a range as "-t1..-t5".
    const std::regex middle("(-shot|-t|-r)[2-7]");
    for (const std::string& s : switches::everySwitch()) {
        if (std::regex_match(s, middle)) continue;
        EXPECT_NE(r.out.find(s), std::string::npos) << s;
    }
    for (const char* range : {"-shot1..-shot8", "-t1..-t5", "-r1..-r5"})
        EXPECT_NE(r.out.find(range), std::string::npos) << range;
    EXPECT_NE(r.out.find("Exit status:"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());
}

// The modes that open no window do not pay for the window system: the
// program they run in links neither SDL2 nor OpenGL.
TEST(Program, LoadsNoWindowLibraries) {
    TempDir dir;
    const ProcessResult r = test::runCommand(
        "readelf -d " + test::shellQuote(LUMEK_EXE) + " | grep NEEDED", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("libc.so"), std::string::npos) << r.out;
    for (const char* library : {"SDL", "libGL", "libX11", "libwayland"})
        EXPECT_EQ(r.out.find(library), std::string::npos) << library << " in\n" << r.out;
}

// A terminal of 80 columns shows every line of --help whole.
TEST(Program, HelpFitsIn80Columns) {
    TempDir dir;
    const ProcessResult r = lumek("--help", dir);
    ASSERT_EQ(r.status, 0);
    size_t start = 0;
    for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << r.out.substr(start, end - start);
    EXPECT_EQ(start, r.out.size()) << "the text ends with a line break";
}

TEST(Program, VersionIsOneLine) {
    TempDir dir;
    const ProcessResult r = lumek("--version", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "lumek " LUMEK_VERSION "\n");
}

// Switches are found as substrings of the whole text, so a new switch may
// neither contain an older one nor be contained in one ("-shot" inside
// "-shot1" is the screenshot mode's own design).
TEST(Program, NoSwitchIsFoundInsideAnother) {
    const std::vector<std::string>& all = switches::everySwitch();
    EXPECT_GE(all.size(), 33u);
    for (const std::string& a : all)
        for (const std::string& b : all) {
            const bool shotRow = a == switches::kShot && b.rfind(switches::kShot, 0) == 0;
            if (a != b && !shotRow) {
                EXPECT_EQ(b.find(a), std::string::npos) << a << " in " << b;
            }
        }
}

// A value that is missing or malformed, or an option the mode would leave
// unused: one line on stderr, status 1, nothing written.
TEST(Program, AMistakenOptionIsOneLineAndDoesNothing) {
    for (const char* args :
         {"-shot1 --size 10", "-shot1 --size", "-shot1 --frames 1-2", "-shot1 --time 2",
          "-record --output a.png", "-stress1 --size 64x64", "-shot1 --output a --output b"}) {
        TempDir dir;
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_EQ(r.err.rfind("lumek: --", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
        EXPECT_TRUE(dir.entries().empty()) << args;
    }
}

// A value made of switches is only a value: the name asks for no picture
// and no setting, in an argument of its own or joined with "=".
TEST(Program, AFileNameHoldingSwitchesRunsOnlyWhatTheSwitchesAsk) {
    for (const char* args : {"-shot3 --output xmas-shot1-i-bench.png --size 40x30",
                             "--output=xmas-shot1-i-bench --size=40x30 -shot3"}) {
        TempDir dir;
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        EXPECT_EQ(r.out, "xmas-shot1-i-bench.raw  3600 bytes\n") << args;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"xmas-shot1-i-bench.raw"}) << args;
    }
}

TEST(Program, TableOrderDecidesWhichPictureComesFirst) {
    TempDir dir;
    const ProcessResult r = lumek("-shot8 -shot1", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Lumeklogo.raw  2359296 bytes\nXMas.raw  2359296 bytes\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"Lumeklogo.raw", "XMas.raw"}));
    EXPECT_EQ(std::filesystem::file_size(dir.file("XMas.raw")), 2359296u);
}

// A row's switch with more digits after it still asks for that row (the
// switch is a substring of the text), but the word is no switch: the
// picture is written and the mistake is said, with status 1.
TEST(Program, ShotSwitchesAreSubstringsOfTheTextAndLongerNumbersAreUsageErrors) {
    for (const char* args : {"-shot10", "-shot12"}) {
        TempDir dir;
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"Lumeklogo.raw"}) << args;
        EXPECT_EQ(r.out, "Lumeklogo.raw  2359296 bytes\n") << args;
        EXPECT_EQ(r.err, "lumek: usage error: " + std::string(args) +
                             " is no switch; the -shot1 in it still writes Lumeklogo.raw\n"
                             "lumek: the picture switches are -shot1 (Lumeklogo.raw) -shot2 "
                             "(ColorCircles.raw) -shot3 (Boxes.raw) -shot4 (Spotlight.raw) "
                             "-shot5 (Shadow1.raw) -shot6 (Shadow2.raw) -shot7 (Shadow3.raw) "
                             "-shot8 (XMas.raw)\n");
    }

    TempDir joined;
    const ProcessResult r = lumek("-shot1-shot3", joined);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(joined.entries(), (std::vector<std::string>{"Boxes.raw", "Lumeklogo.raw"}));
}

TEST(Program, ShotWordsThatNameNoPictureAreUsageErrorsAndOpenNoWindow) {
    // DISPLAY is unset: reaching the interactive mode would fail.
    const std::pair<const char*, const char*> cases[] = {
        {"-shot", "-shot"},         {"-shot0", "-shot0"}, {"-shot9", "-shot9"},
        {"-t5 -shot -r5", "-shot"}, {"-shotx", "-shotx"}, {"-shot-png", "-shot"}};
    for (const auto& [args, word] : cases) {
        TempDir dir;
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_TRUE(dir.entries().empty()) << args;
        // It names the word, and says how to ask for a picture.
        EXPECT_EQ(r.err.rfind("lumek: usage error: " + std::string(word) +
                                  " names no picture\nlumek: the picture switches are -shot1 "
                                  "(Lumeklogo.raw) -shot2 (ColorCircles.raw)",
                              0),
                  0u)
            << args << ": " << r.err;
        EXPECT_NE(r.err.find("-shot8 (XMas.raw)\n"), std::string::npos) << r.err;
    }
    // Beside a real row the row is still written.
    TempDir dir;
    const ProcessResult r = lumek("-shot9 -shot2", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"ColorCircles.raw"});
    EXPECT_EQ(r.err.rfind("lumek: usage error: -shot9 names no picture\n", 0), 0u) << r.err;
}

// What the program does not understand is said with what was probably
// meant, and nothing runs: no window, no thread, no file.
TEST(Program, WordsAndLengthsItDoesNotUnderstandAreSaidAndNothingRuns) {
    const std::pair<const char*, const char*> cases[] = {
        {"-bnech", "lumek: usage error: -bnech is no switch (did you mean -bench?)\n"
                   "lumek: every switch is in lumek --help\n"},
        {"-t3 -v", "lumek: usage error: -v is no switch (did you mean --version?)\n"
                   "lumek: every switch is in lumek --help\n"},
        {"-stress30x", "lumek: usage error: -stress30x is no length (did you mean -stress30s, "
                       "-stress30m or -stress30h?); -stress takes"},
        {"-stress=5", "lumek: usage error: -stress=5 is no length (did you mean -stress5?)"},
        {"-stress 0", "lumek: usage error: -stress0 is no length"},
        {"-cycle=5", "lumek: usage error: -cycle=5 is no length (did you mean -cycle5?)"},
    };
    for (const auto& [args, said] : cases) {
        TempDir dir;
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(r.out.empty()) << args << ": " << r.out;
        EXPECT_EQ(r.err.rfind(said, 0), 0u) << args << ": " << r.err;
        EXPECT_TRUE(dir.entries().empty()) << args;
    }
    // "-h" and "-help" are words of their own, so they ask for the help.
    TempDir dir;
    const std::string help = lumek("--help", dir).out;
    for (const char* args : {"-h", "-t3 -help"}) {
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_EQ(r.out, help) << args;
    }
    // A file name is no switch, whatever it holds, nor a help word.
    for (const char* name : {"lumek-stress=5x.jsonl", "-h"}) {
        test::writeFile(dir.file(name), test::readFile(LUMEK_RESULTS_DIR "/alpha.jsonl"));
        const ProcessResult named = lumek(std::string("--results ") + name, dir);
        EXPECT_EQ(named.status, 0) << name << ": " << named.err;
        EXPECT_NE(named.out.find("alpha"), std::string::npos) << name << ": " << named.out;
    }
}

// Ctrl+C at any moment: every file is either absent or whole, and no
// temporary file is left behind.
TEST(Program, AnInterruptNeverLeavesATemporaryOrPartialFile) {
    std::mt19937 gen(2026);
    int stoppedEarly = 0;
    for (int run = 0; run < 30; ++run) {
        TempDir dir;
        test::ChildProcess lumek(test::lumekArgv({"-shot1", "-shot2", "-shot3", "-shot4", "-shot5",
                                                  "-shot6", "-shot7", "-shot8"}),
                                 {}, dir.path(), dir.file("../out" + std::to_string(run)),
                                 dir.file("../err" + std::to_string(run)));
        std::this_thread::sleep_for(std::chrono::milliseconds(gen() % 400));
        lumek.signal(SIGINT);
        const std::optional<int> status = lumek.waitFor(std::chrono::seconds(20));
        ASSERT_TRUE(status.has_value());
        // Ended by the signal before it was caught, stopped between files,
        // or finished first.
        EXPECT_TRUE(*status == 130 || *status == 0 || lumek.endedBySignal() == SIGINT)
            << "status " << *status;
        stoppedEarly += *status == 130;
        for (const std::string& name : dir.entries()) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "run " << run << ": " << name;
            EXPECT_EQ(std::filesystem::file_size(dir.file(name)), 2359296u) << name;
        }
    }
    std::printf("%d of 30 runs were stopped between pictures\n", stoppedEarly);
}

TEST(Program, AnExistingFileIsReplacedWhole) {
    TempDir dir;
    test::writeFile(dir.file("Lumeklogo.raw"), std::string(3000000, 'z'));
    EXPECT_EQ(lumek("-shot1", dir).status, 0);
    const std::string bytes = test::readFile(dir.file("Lumeklogo.raw"));
    EXPECT_EQ(bytes.size(), 2359296u);
    EXPECT_NE(bytes.substr(0, 16), std::string(16, 'z'));
}

TEST(Program, AFileThatCannotBeWrittenIsReportedAndTheOthersStillWritten) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("Boxes.raw"));
    const ProcessResult r = lumek("-shot1 -shot3 -shot5", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Boxes.raw"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "Lumeklogo.raw  2359296 bytes\nShadow1.raw  2359296 bytes\n");
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"Boxes.raw", "Lumeklogo.raw", "Shadow1.raw"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("Boxes.raw")));
}

// Three fake machines' bench.jsonl files, as the words after --results.
std::string threeMachineFiles() {
    std::string files;
    for (const char* name : {"alpha.jsonl", "beta.jsonl", "gamma.jsonl"}) {
        std::string path = LUMEK_RESULTS_DIR "/";
        path += name;
        files += ' ';
        files += test::shellQuote(path);
    }
    return files;
}

TEST(Program, ResultsOfThreeMachinesAsCsvAndAsAPage) {
    TempDir dir;
    const ProcessResult csv =
        lumek(std::string("--results --csv").append(threeMachineFiles()), dir);
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, test::readFile(LUMEK_RESULTS_DIR "/expected.csv"));
    EXPECT_NE(csv.err.find("beta.jsonl: skipped 1 line that is not a result"), std::string::npos)
        << csv.err;
    EXPECT_NE(csv.err.find("left out 1 run that found wrong frames"), std::string::npos)
        << csv.err;
    EXPECT_TRUE(dir.entries().empty());

    const ProcessResult page = lumek(std::string("--report").append(threeMachineFiles()), dir);
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.out, "Wrote report.html: 7 runs from 3 files.\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"report.html"});
    EXPECT_EQ(test::readFile(dir.file("report.html")).rfind("<!DOCTYPE html>", 0), 0u);
}

// A stress log beside benchmark records: the page draws it, the table
// says where it belongs.
TEST(Program, AStressLogIsDrawnOnThePageAndNamedByTheTable) {
    TempDir dir;
    test::writeFile(dir.file("stress.jsonl"),
                    "{\"type\":\"start\",\"mode\":\"stress\",\"processors\":"
                    "[{\"name\":\"processor 0\"},{\"name\":\"processor 1\"}]}\n"
                    "{\"type\":\"interval\",\"seconds\":10,\"processors\":"
                    "[{\"framesPerSecond\":200,\"errors\":0},{\"framesPerSecond\":190,"
                    "\"errors\":1}]}\n"
                    "{\"type\":\"summary\",\"status\":2,\"frames\":3900,\"errors\":1}\n");
    test::writeFile(dir.file("bench.jsonl"), test::readFile(LUMEK_RESULTS_DIR "/alpha.jsonl"));
    const ProcessResult page = lumek("--report bench.jsonl stress.jsonl", dir);
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_NE(page.out.find(" and 1 stress run from 2 files.\n"), std::string::npos) << page.out;
    const std::string html = test::readFile(dir.file("report.html"));
    EXPECT_NE(html.find("<svg class=\"chart stress-rate\""), std::string::npos);
    EXPECT_NE(html.find("<svg class=\"chart bars"), std::string::npos) << "the records too";
    // A page of the log alone speaks of no benchmark runs.
    const ProcessResult alone = lumek("--report stress.jsonl --output alone.html", dir);
    EXPECT_EQ(alone.out, "Wrote alone.html: 1 stress run from 1 file.\n");
    EXPECT_NE(test::readFile(dir.file("alone.html")).find("<code>stress.jsonl</code>: 1 stress run.</p>"),
              std::string::npos);
    const ProcessResult table = lumek("--results stress.jsonl", dir);
    EXPECT_EQ(table.err.find("lumek: stress.jsonl is a stress log, not benchmark records: "
                             "--report draws it\n"),
              0u)
        << table.err;
}

TEST(Program, ResultsFilesMayHoldSwitchesAndAMissingOneIsStatusOne) {
    TempDir dir;
    // A name holding a mode's switch is still a file here: no benchmark runs.
    test::writeFile(dir.file("old-bench.jsonl"),
                    test::readFile(LUMEK_RESULTS_DIR "/alpha.jsonl"));
    const ProcessResult r = lumek("--results old-bench.jsonl", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("benchmark version 2"), std::string::npos) << r.out;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old-bench.jsonl"});

    const ProcessResult missing = lumek("--results old-bench.jsonl gone.jsonl --markdown", dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "lumek: cannot read gone.jsonl: No such file or directory\n");
    std::filesystem::create_directory(dir.file("folder.jsonl"));
    EXPECT_EQ(lumek("--results folder.jsonl", dir).err,
              "lumek: cannot read folder.jsonl: it is a folder\n");
    std::filesystem::remove(dir.file("folder.jsonl"));
    // A FIFO would hold the reading for ever: refused at once.
    ASSERT_EQ(::mkfifo(dir.file("pipe.jsonl").c_str(), 0600), 0);
    const ProcessResult fifo = lumek("--results pipe.jsonl", dir);
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "lumek: cannot read pipe.jsonl: it is a FIFO, not a regular file\n");
    std::filesystem::remove(dir.file("pipe.jsonl"));
    EXPECT_NE(missing.out.find("| alpha |"), std::string::npos) << "the files there are shown";

    // The options that take a value: only the page's file name.
    // The page never takes the place of the records it is made from.
    const std::string records = test::readFile(dir.file("old-bench.jsonl"));
    const ProcessResult over = lumek("--report old-bench.jsonl --output ./old-bench.jsonl", dir);
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(over.err.find("lumek: cannot write ./old-bench.jsonl: it is old-bench.jsonl, one of "
                            "the files read"),
              0u)
        << over.err;
    EXPECT_EQ(test::readFile(dir.file("old-bench.jsonl")), records);

    const ProcessResult page = lumek("--report old-bench.jsonl --output 'my -bench page.html'", dir);
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"my -bench page.html", "old-bench.jsonl"}));
    for (const char* args : {"--results old-bench.jsonl --output x.html",
                             "--report old-bench.jsonl --label x", "--label box",
                             "-bench --csv", "--report old-bench.jsonl --markdown"}) {
        const ProcessResult refused = lumek(args, dir);
        EXPECT_EQ(refused.status, 1) << args;
        EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << refused.err;
        EXPECT_EQ(dir.entries().size(), 2u) << args;
    }
    EXPECT_EQ(lumek("--label box", dir).err, "lumek: --label is for -bench\n");
    EXPECT_EQ(lumek("-stress --markdown", dir).err,
              "lumek: --markdown is for --results (lumek --results --markdown)\n");

    const ProcessResult none = lumek("--results", dir);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "lumek: cannot read bench.jsonl: No such file or directory (lumek -bench writes "
              "it)\n");

    // The page of the files that could be read is still written.
    const ProcessResult partly = lumek("--report old-bench.jsonl gone.jsonl --output part", dir);
    EXPECT_EQ(partly.status, 1);
    EXPECT_EQ(partly.out, "Wrote part: 4 runs from 1 file.\n");
    EXPECT_EQ(partly.err, "lumek: cannot read gone.jsonl: No such file or directory\n");
    // With no file read, the page made before stays as it was.
    const std::string before = test::readFile(dir.file("part"));
    const ProcessResult nothing = lumek("--report gone.jsonl --output part", dir);
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "");
    EXPECT_EQ(test::readFile(dir.file("part")), before);
}

}  // namespace
}  // namespace lumek
