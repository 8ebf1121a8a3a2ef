// The Windows program under Wine: the same pictures, the same numbers, a
// report with CR LF endings, the start-up's handling of its own name, and
// the window on a virtual screen.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/verify.h"
#include "os/processors.h"
#include "support/files.h"
#include "support/golden.h"
#include "support/png_decode.h"
#include "support/process.h"
#include "support/screen.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::ProcessResult;
using test::readFile;
using test::shellQuote;
using test::TempDir;

// One prefix for every Wine test, made on first use; the tests hold a
// CTest resource lock on it, so they never run side by side.
std::vector<std::string> wineEnvironment() {
    return {"WINEPREFIX=" LUMEK_WINE_PREFIX, "WINEDEBUG=-all",
            // No Mono or Gecko installer dialogs in a fresh prefix.
            "WINEDLLOVERRIDES=mscoree,mshtml="};
}

// The same for a shell command: "export ...; " to put before it.
std::string exportWineEnvironment() {
    std::string words = "export";
    for (const std::string& e : wineEnvironment()) {
        const size_t eq = e.find('=');
        words += " " + e.substr(0, eq + 1) + shellQuote(e.substr(eq + 1));
    }
    return words + "; ";
}

class UnderWine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::filesystem::exists(LUMEK_WINE_PREFIX "/system.reg")) {
            const ProcessResult boot = test::runCommand(
                exportWineEnvironment() + "unset DISPLAY; wineboot -i && wineserver -w", ".");
            ASSERT_EQ(boot.status, 0) << boot.err;
        }
    }

    // Wine's desktop process lives on with the display (or none) of the
    // program that started it; each test starts from a stopped server.
    void SetUp() override {
        test::runCommand(exportWineEnvironment() + "wineserver -k; wineserver -w", ".");
    }

    // Runs a Windows program in `dir` without a display.
    static ProcessResult wine(const std::string& exe, const std::string& args,
                              const std::string& dir) {
        return test::runCommand(
            exportWineEnvironment() + "unset DISPLAY; wine " + shellQuote(exe) + " " + args, dir);
    }

    static std::string withoutCarriageReturns(std::string text) {
        std::erase(text, '\r');
        return text;
    }
};

TEST_F(UnderWine, ScreenshotsAreTheLinuxPicturesByteForByte) {
    TempDir dir;
    const ProcessResult run = wine(
        LUMEK_WINDOWS_EXE, "-shot1 -shot2 -shot3 -shot4 -shot5 -shot6 -shot7 -shot8", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expectedOut;
    for (const auto& [name, hash] : test::kGoldenShots) {
        const std::string raw = readFile(dir.file(std::string(name) + ".raw"));
        ASSERT_EQ(raw.size(), 2359296u) << name;
        EXPECT_EQ(test::sha256Hex(raw), hash) << name;
        expectedOut += std::string(name) + ".raw  2359296 bytes\r\n";
    }
    EXPECT_EQ(run.out, expectedOut);
    EXPECT_EQ(dir.entries().size(), 8u) << "no temporary file is left behind";
}

TEST_F(UnderWine, PngPicturesAreTheLinuxBytesAndDecodeToTheRawPixels) {
    TempDir dir;
    const ProcessResult run =
        wine(LUMEK_WINDOWS_EXE, "-shot1 -shot2 -shot3 -shot4 -shot5 -shot6 -shot7 -shot8 -png",
             dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    for (const auto& [name, hash] : test::kGoldenPngs) {
        const std::string png = readFile(dir.file(std::string(name) + ".png"));
        EXPECT_EQ(test::sha256Hex(png), hash) << name;
        const test::PngPixels pixels = test::decodePng(png);
        EXPECT_TRUE(pixels.rgb == readFile(dir.file(std::string(name) + ".raw"))) << name;
    }
    EXPECT_EQ(dir.entries().size(), 16u);
}

TEST_F(UnderWine, TheRecordedShowIsTheLinuxStreamByteForByte) {
    TempDir dir;
    const ProcessResult run = wine(LUMEK_WINDOWS_EXE, "-record -t1 > show.y4m", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string stream = readFile(dir.file("show.y4m"));
    EXPECT_EQ(stream.size(), 57623298u) << "binary standard output: no carriage returns added";
    EXPECT_EQ(test::sha256Hex(stream),
              "e2911e970cf0da1d4842c10f45f3eb1753a2d6f89a1b143418a84e3fb5f60a1d");
}

// The example scenes: the Windows program's pictures are the pinned frames,
// and a frame of its video is the Linux program's.
TEST_F(UnderWine, ExampleScenesGiveThePinnedPicturesAndTheLinuxVideo) {
    TempDir dir;
    for (const char* name : {"lanterns.json", "crystal.json", "orbit.json"})
        test::writeFile(dir.file(name), readFile(std::string(LUMEK_EXAMPLES_DIR "/") + name));
    for (const test::ExampleFrame& f : test::kExampleFrames) {
        // Frames 0 and 45 (1.5 s at 30 frames a second) are moments a
        // picture can be asked for exactly.
        if (f.frame != 0 && f.frame != 45) continue;
        const std::string args = "--scene " + std::string(f.file) + " -shot --output still" +
                                 (f.frame == 45 ? " --time 1.5" : "");
        const ProcessResult run = wine(LUMEK_WINDOWS_EXE, args, dir.path());
        ASSERT_EQ(run.status, 0) << args << "\n" << run.err;
        EXPECT_EQ(test::sha256Hex(readFile(dir.file("still.raw"))), f.sha256) << args;
    }
    const std::string video = "--scene orbit.json -record --frames 178-179 --size 160x90";
    const ProcessResult windows = wine(LUMEK_WINDOWS_EXE, video + " > windows.y4m", dir.path());
    ASSERT_EQ(windows.status, 0) << windows.err;
    const ProcessResult linux =
        test::runCommand(shellQuote(LUMEK_EXE) + " " + video + " > linux.y4m", dir.path());
    ASSERT_EQ(linux.status, 0) << linux.err;
    const std::string frames = readFile(dir.file("windows.y4m"));
    EXPECT_GT(frames.size(), 2u * 3 * 160 * 90);
    EXPECT_TRUE(frames == readFile(dir.file("linux.y4m"))) << "the streams differ";
}

// The result record of the Windows program names Windows and Wine, and
// measured the same work as every other build.
TEST_F(UnderWine, TheBenchmarksRecordParsesAndNamesWine) {
    TempDir dir;
    const ProcessResult run = wine(LUMEK_WINDOWS_EXE, "-bench -json", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json record = nlohmann::json::parse(run.out);
    EXPECT_EQ(record, nlohmann::json::parse(readFile(dir.file("bench.jsonl"))));
    EXPECT_EQ(record["machine"]["os"]["name"], "Windows");
    EXPECT_TRUE(record["machine"]["os"]["wine"].is_string()) << record["machine"].dump();
    EXPECT_EQ(record["program"]["target"], "windows-x86_64");
    EXPECT_EQ(record["check"]["wrongFrames"], 0);
    EXPECT_EQ(record["workload"]["id"], hashHex(benchWorkloadId()));
    EXPECT_GE(record["oneThread"]["rounds"].get<int>(), 1);
    EXPECT_NE(readFile(dir.file("bench.txt")).find("\r\n\r\n"), std::string::npos);
}

// NUL is a character device, as a console is, but no terminal: the video
// goes into it like into any file.
TEST_F(UnderWine, ARecordingIntoNulIsNotRefusedAsATerminal) {
    TempDir dir;
    const std::string exe = "Z:" + std::regex_replace(LUMEK_WINDOWS_EXE, std::regex("/"), "\\");
    const ProcessResult run =
        test::runCommand(exportWineEnvironment() + "unset DISPLAY; wine cmd /c " +
                             shellQuote(exe + " -record -t1 > NUL"),
                         dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Recorded 18721 frames"), std::string::npos) << run.err;
}

// A full disk behind standard output is a failure, as on Linux.
TEST_F(UnderWine, AFullStandardOutputEndsWithStatusOne) {
    TempDir dir;
    const ProcessResult run = wine(LUMEK_WINDOWS_EXE, "-shot1 >/dev/full", dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(withoutCarriageReturns(run.err),
              "lumek: cannot write to standard output: No space left on device\n");
    EXPECT_EQ(test::sha256OfFile(dir.file("Lumeklogo.raw")), test::kGoldenShots[0].second);
}

// The direction table, every view of the show and a small rendering of it
// every quarter second: any value the C runtime's sin or cos rounds
// differently shows up here as the first line that differs.
TEST_F(UnderWine, TheNumbersOfTheShowAreTheLinuxNumbers) {
    TempDir dir;
    const ProcessResult linux = test::runCommand(shellQuote(LUMEK_NUMBERS_EXE), dir.path());
    ASSERT_EQ(linux.status, 0);
    const ProcessResult windows = wine(LUMEK_WINDOWS_NUMBERS_EXE, "", dir.path());
    ASSERT_EQ(windows.status, 0) << windows.err;

    std::istringstream a(linux.out), b(withoutCarriageReturns(windows.out));
    std::string lineA, lineB;
    int lines = 0;
    while (std::getline(a, lineA)) {
        ASSERT_TRUE(std::getline(b, lineB)) << "Windows output ends after " << lines << " lines";
        ASSERT_EQ(lineB, lineA) << "first difference, line " << lines + 1;
        ++lines;
    }
    EXPECT_FALSE(std::getline(b, lineB)) << "Windows output goes on: " << lineB;
    EXPECT_EQ(lines, 512 + 1253 + 1);  // directions, show frames, the workload id
}

TEST_F(UnderWine, BenchmarkChecksEveryFrameAndAppendsFiveLinesWithCrLfEndings) {
    TempDir dir;
    test::writeFile(dir.file("bench.txt"), "kept\r\n");
    for (int run = 0; run < 2; ++run) {
        const ProcessResult bench = wine(LUMEK_WINDOWS_EXE, "-bench", dir.path());
        ASSERT_EQ(bench.status, 0) << bench.err;
        // The Linux build's known-good hashes hold for every frame.
        const std::string out = withoutCarriageReturns(bench.out);
        EXPECT_NE(out.find("\n\nCheck: all 33 frames of the entry are exactly the known-good "
                           "pictures.\nOne thread: "),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("\nAll threads: "), std::string::npos) << out;
        EXPECT_EQ(out.find("wrong"), std::string::npos) << out;
        EXPECT_TRUE(bench.err.empty()) << bench.err;
    }
    const std::string text = readFile(dir.file("bench.txt"));
    ASSERT_EQ(text.compare(0, 6, "kept\r\n"), 0);
    const std::regex entry(
        "Datum: \\d{1,2}\\.\\d{1,2}\\.\\d{4}   Uhrzeit: \\d{1,2}:\\d{1,2}\r\n"
        "Render Dauer: \\d+ ms   Rating: [0-9.e+]+ Tq7-Marks \\(=[0-9.e+]+ fps\\)\r\n"
        "CPUBench Dauer: \\d+ ms   Rating: [0-9.e+]+ Tq7-Marks\r\n"
        "Ratingkoeffizient: [0-9.e+]+\r\n"
        "\r\n");
    const std::string entries = text.substr(6);
    auto begin = std::sregex_iterator(entries.begin(), entries.end(), entry);
    EXPECT_EQ(std::distance(begin, std::sregex_iterator()), 2) << entries;
    // Every line feed has its carriage return.
    size_t feeds = 0, pairs = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++feeds;
        if (i > 0 && text[i - 1] == '\r') ++pairs;
    }
    EXPECT_EQ(feeds, 11u);
    EXPECT_EQ(pairs, feeds);
}

// The Windows program binds each thread of -stress to a processor of its
// own (Wine passes SetThreadGroupAffinity on to Linux, whose /proc shows
// each thread's affinity) and names the processors in its summary.
TEST_F(UnderWine, StressBindsItsThreadsAndNamesTheirProcessors) {
    TempDir dir;
    std::vector<std::string> env = wineEnvironment();
    env.push_back("DISPLAY");
    ChildProcess lumek({WINE_EXE, LUMEK_WINDOWS_EXE, "-stress"}, env, dir.path(), dir.file("out"),
                       dir.file("err"));
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (readFile(dir.file("out")).find("Temperatures") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(100ms);
    // Each usable processor is the whole affinity of one thread.
    std::set<std::string> alone;
    for (int sample = 0; sample < 20; ++sample) {
        for (const auto& [tid, list] : test::allowedProcessors(lumek.pid()))
            if (list.find_first_of(",-") == std::string::npos) alone.insert(list);
        std::this_thread::sleep_for(100ms);
    }
    lumek.signal(SIGINT);  // Wine's console gets Ctrl+C
    EXPECT_EQ(lumek.waitFor(30s), 0) << readFile(dir.file("err"));
    const std::vector<int> usable = os::affinityProcessors();
    std::set<std::string> expected;
    std::string list;
    for (int id : usable) {
        expected.insert(std::to_string(id));
        list += (list.empty() ? "" : ", ") + std::to_string(id);
    }
    EXPECT_EQ(alone, expected);
    const std::string out = withoutCarriageReturns(readFile(dir.file("out")));
    EXPECT_NE(out.find("\nEach thread is bound to a processor: " + list + ".\n"), std::string::npos)
        << out;
    const std::regex row(
        "\n  processor [0-9]+ \\(core [0-9]+(, [a-z]+ thread)?; package "
        "[0-9]+\\): +[0-9]+ rounds, [0-9]+ frames, ");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(out.begin(), out.end(), row), std::sregex_iterator()),
        static_cast<long>(usable.size()))
        << out;
    EXPECT_NE(out.find("every frame was right.\n"), std::string::npos) << out;
}

// Switches inside the program's own path are never seen, whether the path
// comes quoted (it has a blank) or bare.
TEST_F(UnderWine, TheProgramsOwnPathIsNoSwitch) {
    TempDir root;
    for (const std::string folder : {"a dir -shot1", "x-shot1"}) {
        const std::string dir = root.file(folder);
        std::filesystem::create_directory(dir);
        std::filesystem::copy_file(LUMEK_WINDOWS_EXE, dir + "/lumek.exe");
        const ProcessResult run = wine(dir + "/lumek.exe", "-shot2", dir);
        EXPECT_EQ(run.status, 0) << folder << ": " << run.err;
        EXPECT_TRUE(std::filesystem::exists(dir + "/ColorCircles.raw")) << folder;
        EXPECT_FALSE(std::filesystem::exists(dir + "/Lumeklogo.raw")) << folder;
    }
}

// Where the window ends up: "x y width height" of the window with that title.
struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
};

bool findWindow(const std::string& display, Placement& where) {
    const ProcessResult found = test::xTool(display, "find Lumek");
    if (found.status != 0) return false;
    std::istringstream words(found.out);
    return static_cast<bool>(words >> where.x >> where.y >> where.width >> where.height);
}

class WineOnScreen : public UnderWine {
  protected:
    void SetUp() override {
        UnderWine::SetUp();
        server = std::make_unique<test::XvfbServer>(1024, 768, 24);
        ASSERT_TRUE(server->ok()) << "Xvfb did not start";
    }

    std::unique_ptr<ChildProcess> start(const std::string& exe, const std::string& dir,
                                        const std::vector<std::string>& switches) {
        std::vector<std::string> argv = {WINE_EXE, exe};
        argv.insert(argv.end(), switches.begin(), switches.end());
        std::vector<std::string> env = wineEnvironment();
        env.push_back("DISPLAY=" + server->display());
        return std::make_unique<ChildProcess>(argv, env, dir, dir + "/out", dir + "/err");
    }

    // Waits for the show's window, answering the fullscreen question with
    // Return (its default button, Yes) if it comes; true once a window of
    // the requested client size is there.
    bool waitForShow(int width, int height, Placement& where) {
        const std::string display = server->display();
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (findWindow(display, where)) {
                if (where.width == width && where.height == height) return true;
                if (!answeredQuestion) {
                    std::this_thread::sleep_for(500ms);
                    test::pressKey(display, "Lumek", "Return");
                    answeredQuestion = true;
                }
            }
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

    std::unique_ptr<test::XvfbServer> server;
    bool answeredQuestion = false;
};

TEST_F(WineOnScreen, TheWindowShowsTheShowAndAKeyEndsItWithStatusZero) {
    TempDir root;
    // Started from a folder whose name holds a mode switch: still the show.
    const std::string dir = root.file("-shot1 show");
    std::filesystem::create_directory(dir);
    std::filesystem::copy_file(LUMEK_WINDOWS_EXE, dir + "/lumek.exe");
    auto lumek = start(dir + "/lumek.exe", dir, {"-t3"});

    Placement where;
    ASSERT_TRUE(waitForShow(640, 480, where)) << readFile(dir + "/err");
    std::this_thread::sleep_for(3s);
    const test::Screenshot shot = test::takeScreenshot(server->display());
    test::saveScreenshot(shot, "wine-window.png");

    // The logo scene fills the client area: lit nearly everywhere, with the
    // big disc's bright yellow at the bottom.
    const test::Box client{where.x, where.y, where.x + where.width - 1, where.y + where.height - 1};
    EXPECT_GT(test::litShare(shot, client), 0.9);
    const double top =
        test::meanBrightness(shot, client.left, client.top, client.right, client.top + 100);
    const double bottom =
        test::meanBrightness(shot, client.left, client.bottom - 100, client.right, client.bottom);
    EXPECT_GT(bottom, top) << "top " << top << " bottom " << bottom;

    test::pressKey(server->display(), "Lumek", "space");
    EXPECT_EQ(lumek->waitFor(10s), 0) << readFile(dir + "/err");
    EXPECT_FALSE(std::filesystem::exists(dir + "/Lumeklogo.raw"));
}

TEST_F(WineOnScreen, OnAScreenOfTheRequestedSizeItRunsFullscreen) {
    server = std::make_unique<test::XvfbServer>(640, 480, 24);
    ASSERT_TRUE(server->ok());
    TempDir dir;
    auto lumek = start(LUMEK_WINDOWS_EXE, dir.path(), {"-t5"});
    Placement where;
    ASSERT_TRUE(waitForShow(640, 480, where)) << readFile(dir.file("err"));
    EXPECT_FALSE(answeredQuestion) << "the mode was set without asking";
    EXPECT_EQ(where.x, 0);
    EXPECT_EQ(where.y, 0);
    std::this_thread::sleep_for(2s);
    const test::Screenshot shot = test::takeScreenshot(server->display());
    test::saveScreenshot(shot, "wine-fullscreen.png");
    // The same quad as on Linux: about 98 % of the screen, centred.
    const test::Box box = test::litBox(shot);
    EXPECT_NEAR(box.top, 4.6, 3);
    EXPECT_NEAR(box.bottom, 475.4, 3);
    EXPECT_NEAR(box.left, 6.9, 3);
    EXPECT_NEAR(box.right, 633.1, 3);
    test::pressKey(server->display(), "Lumek", "space");
    EXPECT_EQ(lumek->waitFor(10s), 0) << readFile(dir.file("err"));
}

TEST_F(WineOnScreen, AnsweringNoToTheWindowedFallbackEndsTheProgram) {
    TempDir dir;
    auto lumek = start(LUMEK_WINDOWS_EXE, dir.path(), {"-t1"});
    const std::string display = server->display();
    // Xvfb has no other display modes, so the question always comes.
    ASSERT_TRUE(test::waitForWindow(display, "Lumek", 30s)) << readFile(dir.file("err"));
    std::this_thread::sleep_for(500ms);
    test::pressKey(display, "Lumek", "n");  // the No button's mnemonic
    ASSERT_TRUE(test::waitForWindow(display, "ERROR", 10s)) << readFile(dir.file("err"));
    std::this_thread::sleep_for(500ms);
    test::pressKey(display, "ERROR", "Return");
    EXPECT_EQ(lumek->waitFor(10s), 0);
    const std::string err = readFile(dir.file("err"));
    EXPECT_NE(err.find("Program Will Now Close."), std::string::npos) << err;
    Placement left;
    EXPECT_FALSE(findWindow(display, left)) << "no window is left";
}

}  // namespace
}  // namespace lumek
