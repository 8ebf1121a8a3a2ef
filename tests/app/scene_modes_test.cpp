// Scene files in the modes that render them, run as the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/golden.h"
#include "support/png_decode.h"
#include "support/process.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using test::ProcessResult;
using test::TempDir;

ProcessResult lumek(const std::string& args, const TempDir& dir) {
    return test::runCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY " + test::lumekCommand() + " " + args, dir.path());
}

// A lamp moving past a pillar for one second at 10 frames a second.
const char* kMovingLamp = R"({
  "format": "lumek-scene",
  "version": 1,
  "view": {"centre": [0, 0], "height": 2},
  "size": [48, 27],
  "duration": 1,
  "fps": 10,
  "shapes": [
    {"type": "disc", "id": "lamp", "centre": [-1, -0.3], "radius": 0.1,
     "colour": "#ffc070", "falloff": 1.5,
     "keys": [{"time": 0, "centre": [-1, -0.3]}, {"time": 1, "centre": [1, -0.3]}]},
    {"type": "disc", "centre": [0, 0.2], "radius": 0.15, "colour": [20, 20, 30], "falloff": 4}
  ]
}
)";

// The name holds switches; only the ones outside it count.
TEST(SceneModes, APictureIsNamedAfterTheFileWhoseNameHoldsSwitches) {
    TempDir dir;
    test::writeFile(dir.file("xmas-shot1-i-bench.json"), kMovingLamp);
    const ProcessResult r = lumek("--scene xmas-shot1-i-bench.json -png", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"xmas-shot1-i-bench.json", "xmas-shot1-i-bench.png"}));
    const test::PngPixels png = test::decodePng(test::readFile(dir.file("xmas-shot1-i-bench.png")));
    EXPECT_EQ(png.width, 48);
    EXPECT_EQ(png.height, 27);

    // -shot gives the raw file of the same picture; --time another moment.
    ASSERT_EQ(lumek("--scene xmas-shot1-i-bench.json -shot --output still", dir).status, 0);
    EXPECT_TRUE(test::readFile(dir.file("still.raw")) == png.rgb);
    ASSERT_EQ(lumek("--scene xmas-shot1-i-bench.json -shot --output later --time 0.5", dir).status,
              0);
    EXPECT_FALSE(test::readFile(dir.file("later.raw")) == png.rgb);
}

// Each frame starts from its own generator state, so a range of frames is
// exactly that part of the whole video, and frame 5 is the picture at 0.5 s.
TEST(SceneModes, ARangeOfFramesIsThatPartOfTheWholeVideo) {
    TempDir dir;
    test::writeFile(dir.file("lamp.json"), kMovingLamp);
    const ProcessResult recorded = lumek("--scene lamp.json -record --size 40x21 > whole.y4m", dir);
    ASSERT_EQ(recorded.status, 0);
    // Off a terminal, a line every tenth of the frames, then the summary.
    EXPECT_NE(recorded.err.find("\n 50 %  5 frames  scene time 0:00  "), std::string::npos)
        << recorded.err;
    EXPECT_NE(recorded.err.find("\nRecorded 10 frames in "), std::string::npos) << recorded.err;
    ASSERT_EQ(lumek("--scene lamp.json -record --size 40x21 --frames 4-6 > part.y4m", dir).status,
              0);
    const std::string header = "YUV4MPEG2 W40 H21 F10:1 Ip A1:1 C444 XCOLORRANGE=FULL\n";
    const size_t frame = 6 + 3 * 40 * 21;
    const std::string whole = test::readFile(dir.file("whole.y4m"));
    const std::string part = test::readFile(dir.file("part.y4m"));
    ASSERT_EQ(whole.size(), header.size() + 10 * frame);
    ASSERT_EQ(part.size(), header.size() + 3 * frame);
    EXPECT_EQ(whole.substr(0, header.size()), header);
    EXPECT_EQ(part.substr(header.size()), whole.substr(header.size() + 4 * frame, 3 * frame));

    const ProcessResult past = lumek("--scene lamp.json -record --frames 9-10 > past.y4m", dir);
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.err, "lumek: the scene has 10 frames, 0-9; --frames asks for 9-10\n");
    EXPECT_TRUE(test::readFile(dir.file("past.y4m")).empty());
}

// A built-in scene saved as a file renders its golden screenshot through
// --scene, so the file and the mode carry every number of the picture.
TEST(SceneModes, ASavedBuiltInSceneRendersItsGoldenShot) {
    TempDir dir;
    ASSERT_EQ(lumek("--save-scenes saved", dir).status, 0);
    const ProcessResult r = lumek("--scene saved/XMas.json -shot", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "XMas.raw  2359296 bytes\n");
    EXPECT_EQ(test::sha256Hex(test::readFile(dir.file("XMas.raw"))), test::kGoldenShots[7].second);
}

TEST(SceneModes, ABadFileOrAMistakenModeWritesNothing) {
    TempDir dir;
    test::writeFile(dir.file("bad.json"), "{\"format\": \"lumek-scene\", \"version\": 1,\n  \"view\": 3}");
    // Without a mode the file is read before any window opens.
    for (const char* args : {"--scene bad.json -png", "--scene bad.json",
                             "--scene missing.json -record > out.y4m",
                             "--scene bad.json -shot1", "--scene bad.json -stress1",
                             "--scene bad.json -png --frames 1-2"}) {
        const ProcessResult r = lumek(args, dir);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err.rfind("lumek: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
        EXPECT_EQ(dir.entries().size(), std::string(args).find("out.y4m") != std::string::npos ? 2u : 1u)
            << args;
        std::filesystem::remove(dir.file("out.y4m"));
    }
    EXPECT_NE(lumek("--scene bad.json -png", dir).err.find("bad.json:2:"), std::string::npos);
}

}  // namespace
}  // namespace lumek
