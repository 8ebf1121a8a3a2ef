// The show as a video: the stream's format and bytes, what players make of
// it, and how the mode behaves towards terminals and readers that leave.
#include "record/record.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>

#include "record/y4m.h"
#include "render/renderer.h"
#include "support/files.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using test::ProcessResult;
using test::TempDir;

constexpr uint64_t kFrames = 18721;  // t = 0 ... 312,000 ms
const std::string kHeader32 = "YUV4MPEG2 W32 H32 F60:1 Ip A1333:1000 C444 XCOLORRANGE=FULL\n";
// Every build on every platform writes exactly these bytes for -t1.
constexpr const char* kStream32Sha256 =
    "e2911e970cf0da1d4842c10f45f3eb1753a2d6f89a1b143418a84e3fb5f60a1d";

TEST(Y4m, FullRangeBt601RoundTripsEveryColourWithinTwo) {
    // The inverse a player uses for this matrix and range.
    int worst = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const YCbCr c = toYCbCr(uint8_t(r), uint8_t(g), uint8_t(b));
                const double y = c.y, cb = c.cb - 128.0, cr = c.cr - 128.0;
                const double back[3] = {y + 1.402 * cr, y - 0.344136 * cb - 0.714136 * cr,
                                        y + 1.772 * cb};
                const int in[3] = {r, g, b};
                for (int i = 0; i < 3; ++i) {
                    const int v = std::clamp(int(std::lround(back[i])), 0, 255);
                    worst = std::max(worst, std::abs(v - in[i]));
                }
            }
    EXPECT_LE(worst, 2);
    // Greys keep their value in Y and sit in the middle of both chroma planes.
    EXPECT_EQ(toYCbCr(0, 0, 0).y, 0);
    EXPECT_EQ(toYCbCr(255, 255, 255).y, 255);
    EXPECT_EQ(toYCbCr(100, 100, 100).cb, 128);
    EXPECT_EQ(toYCbCr(100, 100, 100).cr, 128);
}

TEST(RecordSize, IsTheLastRenderSizeSwitchOr512) {
    EXPECT_EQ(recordSize("-record"), 512);
    EXPECT_EQ(recordSize("-record -t1"), 32);
    EXPECT_EQ(recordSize("-t5 -record -t3"), 512);
    EXPECT_EQ(recordSize("-record -r5 -s2 -i -b16"), 512);  // other settings do nothing
}

// The frames the interactive mode would show at the times of frames 0 ... n,
// in a fresh process: the image of frame n.
std::string directFrame(int size, uint64_t n) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    TimelineState timeline;
    RandomStream random;
    FrameImage image(size, size, 1.333f);
    RayRenderer renderer(&image, random, 2);
    for (uint64_t k = 0; k <= n; ++k) {
        Vec2 c, x, y;
        float h = 1;
        EXPECT_TRUE(stepTimeline(timeline, lib, recordFrameMs(k), c, x, y, h));
        renderer.render(*timeline.currentShapes, c, x, y, h);
    }
    deleteSceneShapes(lib);
    std::string rgb;
    for (size_t i = 0; i < image.byteCount(); i += 4)
        rgb.append(reinterpret_cast<const char*>(&image.pixels[i]), 3);
    return rgb;
}

class RecordStream : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        result = new ProcessResult(
            test::runCommand(test::lumekCommand() + " -record -t1 > show.y4m", dir->path()));
    }
    static void TearDownTestSuite() {
        delete result;
        delete dir;
    }
    // Frame n as ffmpeg decodes it to RGB.
    static std::string decoded(uint64_t n) {
        const ProcessResult r =
            test::runCommand("ffmpeg -v error -i show.y4m -vf 'select=eq(n\\," + std::to_string(n) +
                                 ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
                             dir->path());
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    static TempDir* dir;
    static ProcessResult* result;
};
TempDir* RecordStream::dir = nullptr;
ProcessResult* RecordStream::result = nullptr;

TEST_F(RecordStream, IsTheWholeShowAsAValidStreamWithPinnedBytes) {
    ASSERT_EQ(result->status, 0) << result->err;
    EXPECT_TRUE(result->out.empty());
    const std::string bytes = test::readFile(dir->file("show.y4m"));
    ASSERT_EQ(bytes.compare(0, kHeader32.size(), kHeader32), 0) << bytes.substr(0, 80);
    EXPECT_EQ(bytes.size(), kHeader32.size() + kFrames * (6 + 3 * 32 * 32));
    EXPECT_EQ(bytes.compare(kHeader32.size(), 6, "FRAME\n"), 0);
    EXPECT_EQ(test::sha256Hex(bytes), kStream32Sha256);
    // Progress on stderr, ending with the summary.
    EXPECT_NE(result->err.find("Recorded 18721 frames (show time 5:12) in "), std::string::npos)
        << result->err;
    EXPECT_NE(result->err.find(" 50 %  9360 frames  show time 2:35"), std::string::npos)
        << result->err;
}

// A range of frames is exactly that part of the whole run, however far in
// (the frames before it are passed over, not rendered).
TEST_F(RecordStream, ARangeOfFramesIsThatPartOfTheWholeRun) {
    ASSERT_EQ(result->status, 0) << result->err;
    const std::string whole = test::readFile(dir->file("show.y4m"));
    const size_t frame = 6 + 3 * 32 * 32;
    for (const auto& [first, last] : {std::pair{100, 119}, {0, 0}, {9000, 9003}, {18715, 18720}}) {
        const std::string range = std::to_string(first) + "-" + std::to_string(last);
        const ProcessResult r = test::runCommand(
            test::lumekCommand() + " -record -t1 --frames " + range + " > part.y4m", dir->path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string part = test::readFile(dir->file("part.y4m"));
        const size_t count = static_cast<size_t>(last - first + 1);
        ASSERT_EQ(part.size(), kHeader32.size() + count * frame) << range;
        EXPECT_EQ(part.compare(0, kHeader32.size(), kHeader32), 0) << range;
        EXPECT_EQ(part.substr(kHeader32.size()),
                  whole.substr(kHeader32.size() + first * frame, count * frame))
            << range;
        EXPECT_NE(r.err.find("Recorded " + std::to_string(count) + " frames"), std::string::npos)
            << r.err;
    }
    // Past the show's end: said, and nothing written.
    const ProcessResult past = test::runCommand(
        test::lumekCommand() + " -record -t1 --frames 18720-18721 > past.y4m", dir->path());
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.err, "lumek: the show has 18721 frames, 0-18720; --frames asks for 18720-18721\n");
    EXPECT_TRUE(test::readFile(dir->file("past.y4m")).empty());
}

TEST_F(RecordStream, FfmpegDecodesAllOfItWithoutAnError) {
    const ProcessResult probe = test::runCommand(
        "ffprobe -v error -count_frames -show_entries "
        "stream=nb_read_frames,r_frame_rate,sample_aspect_ratio,pix_fmt,color_range,duration "
        "-of default=nw=1 show.y4m",
        dir->path());
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_TRUE(probe.err.empty()) << probe.err;
    for (const char* line :
         {"nb_read_frames=18721\n", "r_frame_rate=60/1\n", "sample_aspect_ratio=1333:1000\n",
          "pix_fmt=yuv444p\n", "color_range=pc\n", "duration=312.016667\n"})
        EXPECT_NE(probe.out.find(line), std::string::npos) << line << probe.out;
    const ProcessResult decode =
        test::runCommand("ffmpeg -v error -i show.y4m -f null -", dir->path());
    EXPECT_EQ(decode.status, 0);
    EXPECT_TRUE(decode.err.empty()) << decode.err;
}

TEST_F(RecordStream, DecodedFramesAreTheDirectRendersWithinTwo) {
    // t = 5 s: the orange logo disc; t = 33 s: red, green and blue discs.
    for (uint64_t n : {300u, 1980u}) {
        const std::string fromVideo = decoded(n);
        const std::string direct = directFrame(32, n);
        ASSERT_EQ(fromVideo.size(), direct.size()) << n;
        int worst = 0;
        for (size_t i = 0; i < direct.size(); ++i)
            worst = std::max(worst, std::abs(uint8_t(fromVideo[i]) - uint8_t(direct[i])));
        EXPECT_LE(worst, 2) << "frame " << n;
    }
    // What the frames show, summed over the picture.
    auto sums = [](const std::string& rgb) {
        std::array<double, 3> s{};
        for (size_t i = 0; i < rgb.size(); ++i) s[i % 3] += uint8_t(rgb[i]);
        return s;
    };
    const auto logo = sums(decoded(300));
    EXPECT_GT(logo[0], 1.15 * logo[1]);  // orange: red over green over blue
    EXPECT_GT(logo[1], 3 * logo[2]);
    const std::string discs = decoded(1980);
    int red = 0, green = 0, blue = 0;
    for (size_t p = 0; p + 2 < discs.size(); p += 3) {
        const int r = uint8_t(discs[p]), g = uint8_t(discs[p + 1]), b = uint8_t(discs[p + 2]);
        red += r > 150 && g < 60 && b < 60;
        green += g > 150 && r < 60 && b < 60;
        blue += b > 150 && r < 60 && g < 60;
    }
    EXPECT_GT(red, 30);
    EXPECT_GT(green, 30);
    EXPECT_GT(blue, 30);
}

TEST(RecordProgram, AReaderThatLeavesEarlyEndsItAtOnceWithoutAFlood) {
    TempDir dir;
    // The clock is read as the reader leaves and as the program ends.
    const ProcessResult r = test::runCommand(
        "bash -c " + test::shellQuote("{ " + test::lumekCommand() +
                                      " -record 2>err; echo \"$? $(date +%s%N)\" >ended; } | "
                                      "{ head -c 100000 | wc -c; date +%s%N >left; }"),
        dir.path());
    EXPECT_EQ(r.out, "100000\n");
    long long left = 0, ended = 0;
    int status = 0;
    std::istringstream(test::readFile(dir.file("left"))) >> left;
    std::istringstream(test::readFile(dir.file("ended"))) >> status >> ended;
    ASSERT_GT(left, 0);
    EXPECT_LT(double(ended - left) / 1e9, 1.0);
    // Ended by SIGPIPE as other tools are (or with status 1 where the signal
    // is ignored), saying at most one line about it.
    EXPECT_TRUE(status == 128 + 13 || status == 1) << status;
    const std::string err = test::readFile(dir.file("err"));
    EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(RecordProgram, AReaderThatIgnoresSigpipeGetsStatusOneAndOneLine) {
    TempDir dir;
    // With SIGPIPE ignored the write fails instead.
    const ProcessResult r = test::runCommand(
        "bash -c " + test::shellQuote("trap '' PIPE; " + test::lumekCommand() +
                                      " -record -t1 2>err | head -c 100000 >/dev/null; "
                                      "echo ${PIPESTATUS[0]}"),
        dir.path());
    EXPECT_EQ(r.out, "1\n");
    const std::string err = test::readFile(dir.file("err"));
    EXPECT_NE(err.find("lumek: the video stream could not be written (Broken pipe) after "),
              std::string::npos)
        << err;
    EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 2) << err;
}

TEST(RecordProgram, OnATerminalItExplainsItselfAndEndsWithTwo) {
    int master = -1;
    const std::vector<std::string> argv = test::lumekArgv({"-record"});
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    std::string seen;
    char buffer[512];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, size_t(n));
    int raw = 0;
    waitpid(pid, &raw, 0);
    close(master);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_NE(seen.find("lumek -record | ffmpeg -i - show.mp4"), std::string::npos) << seen;
    EXPECT_NE(seen.find("lumek -record -t3 | mpv -"), std::string::npos) << seen;
    EXPECT_NE(seen.find("lumek -record > show.y4m"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("FRAME"), std::string::npos) << "no video on the terminal";
}

TEST(RecordRun, StopsBetweenFramesWhenAsked) {
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream random;
    TimelineState timeline;
    uint32_t elapsed = 0;
    RecordEnvironment env{lib, slots, random, timeline, elapsed};
    std::string stream;
    env.write = [&stream](const uint8_t* d, size_t n, std::string&) {
        stream.append(reinterpret_cast<const char*>(d), n);
        return true;
    };
    int frames = 0;
    env.stopRequested = [&frames] { return frames++ == 10; };
    std::ostringstream progress;
    env.progress = &progress;
    EXPECT_EQ(RecordRun("-record -t1", env), 130);
    EXPECT_EQ(stream.size(), kHeader32.size() + 10 * (6 + 3 * 32 * 32));
    EXPECT_EQ(progress.str(),
              "Stopped after 10 frames (show time 0:00) in " + progress.str().substr(44));
    EXPECT_TRUE(lib[kXMas].empty());
    EXPECT_EQ(slots.currentRenderer, nullptr);
}

// At a size that is no multiple of the tile edge the same holds: frames
// 100-119 alone equal those of a run from the start.
TEST(RecordRun, ARangeAtAnySizeIsThatPartOfTheWholeRun) {
    auto run = [](std::optional<switches::FrameRange> frames, int stopAfter) {
        SceneLibrary lib;
        RenderSlots slots;
        RandomStream random;
        TimelineState timeline;
        uint32_t elapsed = 0;
        RecordEnvironment env{lib, slots, random, timeline, elapsed};
        std::string stream;
        env.write = [&stream](const uint8_t* d, size_t n, std::string&) {
            stream.append(reinterpret_cast<const char*>(d), n);
            return true;
        };
        int asked = 0;
        env.stopRequested = [&asked, stopAfter] { return asked++ == stopAfter; };
        env.size = switches::PictureSize{40, 27};
        env.frames = frames;
        env.threads = 2;
        RecordRun("-record", env);
        return stream;
    };
    const std::string header = "YUV4MPEG2 W40 H27 F60:1 Ip A35991:40000 C444 XCOLORRANGE=FULL\n";
    const size_t frame = 6 + 3 * 40 * 27;
    const std::string whole = run(std::nullopt, 120);
    const std::string part = run(switches::FrameRange{100, 119}, -1);
    ASSERT_EQ(whole.size(), header.size() + 120 * frame);
    ASSERT_EQ(part.size(), header.size() + 20 * frame);
    EXPECT_EQ(part.substr(0, header.size()), header);
    EXPECT_EQ(part.substr(header.size()), whole.substr(header.size() + 100 * frame));
}

TEST(Y4m, TheHeaderSaysThePixelsAspectForAnySize) {
    EXPECT_EQ(y4mHeader(512, 512, 1.333f), y4mHeader(512));
    EXPECT_EQ(y4mHeader(1024, 768, 1.333f, 30),
              "YUV4MPEG2 W1024 H768 F30:1 Ip A3999:4000 C444 XCOLORRANGE=FULL\n");
    EXPECT_EQ(y4mHeader(1, 3, 1.0f, 24000, 1001),
              "YUV4MPEG2 W1 H3 F24000:1001 Ip A3:1 C444 XCOLORRANGE=FULL\n");
}

}  // namespace
}  // namespace lumek
