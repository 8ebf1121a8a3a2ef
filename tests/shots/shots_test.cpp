#include "shots/shots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "support/files.h"
#include "support/golden.h"
#include "support/png_decode.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using test::readFile;
using test::TempDir;

TEST(ShotPoses, Shadow2PaddlesTurnAboutTheirMidpoints) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage img(32, 24, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderShot(6, lib, r);

    const SegmentShape& lower = lib.segment(kShadow2, 4);
    const SegmentShape& upper = lib.segment(kShadow2, 5);
    EXPECT_NEAR(lower.start.x, 0.036588, 1e-6);
    EXPECT_NEAR(lower.start.y, -0.149677, 1e-6);
    EXPECT_NEAR(lower.start.x + lower.dir.x, -0.036588, 1e-6);
    EXPECT_NEAR(lower.start.y + lower.dir.y, -0.030323, 1e-6);
    EXPECT_NEAR(upper.start.x, 0.036588, 1e-6);
    EXPECT_NEAR(upper.start.y, 0.149677, 1e-6);
    EXPECT_NEAR(upper.start.x + upper.dir.x, -0.036588, 1e-6);
    EXPECT_NEAR(upper.start.y + upper.dir.y, 0.030323, 1e-6);
    // The exact float recipe: sin and cos of 0.55f rounded to float, then
    // float products.
    const float sa = static_cast<float>(std::sin(static_cast<double>(0.55f)));
    EXPECT_EQ(lower.start.x, 0.07f * sa);
    EXPECT_NEAR(sa, 0.5226873, 1e-7);

    for (int i = 0; i < 4; ++i) EXPECT_EQ(lib.circle(kShadow2, i).radius, 0.05f);
    EXPECT_EQ(lib.circle(kShadow2, 1).centre, (Vec2{0.3f, -0.24f}));
    EXPECT_EQ(lib.circle(kShadow2, 2).centre, (Vec2{-0.3f, 0.24f}));
    deleteSceneShapes(lib);
}

TEST(ShotPoses, PosesOverwriteTheBuiltValuesAndRepeatingThemChangesNothing) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage img(32, 24, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    for (int row = 1; row <= kShotCount; ++row) renderShot(row, lib, r);
    const Vec2 lowerStart = lib.segment(kShadow2, 4).start;
    for (int row = 1; row <= kShotCount; ++row) renderShot(row, lib, r);

    EXPECT_EQ(lib.segment(kShadow2, 4).start, lowerStart);
    EXPECT_EQ(lib.circle(kBoxes, 0).centre, (Vec2{0.0f, 0.0f}));
    EXPECT_EQ(lib.circle(kSpotlight, 0).red, 240);
    EXPECT_EQ(lib.circle(kShadow1, 0).centre, (Vec2{0.5f, 0.3f}));
    EXPECT_EQ(lib.circle(kShadow1, 1).centre, (Vec2{-0.5f, -0.3f}));
    EXPECT_EQ(lib.circle(kShadow3, 0).radius, 0.8f);
    EXPECT_EQ(lib.circle(kShadow3, 0).centre, (Vec2{0.0f, 0.8f}));
    deleteSceneShapes(lib);
}

TEST(ShotTable, RowsNameTheirSwitchFileListAndView) {
    const char* files[] = {"Lumeklogo.raw", "ColorCircles.raw", "Boxes.raw",   "Spotlight.raw",
                           "Shadow1.raw",   "Shadow2.raw",      "Shadow3.raw", "XMas.raw"};
    const int lists[] = {0, 2, 3, 4, 5, 6, 7, 1};
    for (int row = 1; row <= kShotCount; ++row) {
        EXPECT_EQ(std::string(shotRow(row).switchText), "-shot" + std::to_string(row));
        EXPECT_STREQ(shotRow(row).fileName, files[row - 1]);
        EXPECT_EQ(shotRow(row).list, lists[row - 1]);
    }
    EXPECT_EQ(shotRow(1).viewCentre, (Vec2{1.5f, 0.0f}));
    EXPECT_EQ(shotRow(1).viewHeight, 1.1f);
    EXPECT_EQ(shotRow(2).viewHeight, 3.0f);
    EXPECT_EQ(shotRow(7).viewCentre, (Vec2{0.0f, -0.3f}));
    EXPECT_EQ(shotRow(8).viewHeight, 4.2f);
}

TEST(RawImage, WritesColourBytesInBinaryAndReplacesOldFilesWhole) {
    TempDir dir;
    FrameImage img(4, 2, 1.0f);
    const uint8_t pattern[] = {10, 13, 26, 99, 0, 255, 13, 10};
    for (size_t i = 0; i < img.byteCount(); ++i) img.pixels[i] = pattern[i % 8] + uint8_t(i / 8);
    const std::string name = dir.file("pic.raw");
    test::writeFile(name, std::string(1000, 'x'));  // longer than the picture

    std::string error;
    ASSERT_TRUE(writeRawImage(name.c_str(), img, error)) << error;
    const std::string bytes = readFile(name);
    ASSERT_EQ(bytes.size(), 4u * 2u * 3u);
    for (int p = 0; p < 8; ++p)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(uint8_t(bytes[3 * p + c]), img.pixels[4 * p + c]) << p << "/" << c;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"pic.raw"});
}

TEST(RawImage, AnUnwritableTargetFailsWithAReasonAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("pic.raw"));
    FrameImage img(8, 8, 1.0f);
    std::string error;
    EXPECT_FALSE(writeRawImage(dir.file("pic.raw").c_str(), img, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"pic.raw"});
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("pic.raw")));

    // A folder that does not exist cannot hold the temporary file either.
    EXPECT_FALSE(writeRawImage(dir.file("missing/pic.raw").c_str(), img, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST(ScreenshotRun, DoesNothingWithoutItsSwitch) {
    TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream rng;
    std::ostringstream out, err;
    ShotEnvironment env{lib, slots, rng, out, err};
    EXPECT_FALSE(ScreenshotRun("-bench -t5 -shoot -Shot1", env).has_value());
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_TRUE(lib[kXMas].empty());
    EXPECT_EQ(rng.state(), RandomStream::kStartState);
    EXPECT_TRUE(out.str().empty());
}

TEST(ScreenshotRun, AStopRequestEndsTheRunBetweenPicturesWithStatus130) {
    TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream rng;
    std::ostringstream out, err;
    int asked = 0;
    // The request arrives while the second picture is being written.
    ShotEnvironment env{lib, slots, rng, out, err, 2, [&asked] { return ++asked > 2; }};
    EXPECT_EQ(ScreenshotRun("-shot1 -shot2 -shot3 -shot4", env), kStoppedStatus);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"ColorCircles.raw", "Lumeklogo.raw"}));
    EXPECT_EQ(out.str(), "Lumeklogo.raw  2359296 bytes\nColorCircles.raw  2359296 bytes\n");
    EXPECT_EQ(err.str(),
              "lumek: stopped before every picture was written; not written: Boxes.raw, "
              "Spotlight.raw\n");
    EXPECT_EQ(slots.currentImage, nullptr);
    EXPECT_TRUE(lib[kBoxes].empty());
}

// The eight fixed views rendered in one run from the generator's start.
// Looked at when pinned: soft orange light and the two triangle outlines;
// red, green and blue discs round a black one; the light between three black
// boxes with hard shadows; the lit spotlight in its shade; red and green
// lights with shadows behind the casters; four brown discs round the two
// light segments; the large light below three green casters; the red
// lettering lit from the top left.
TEST(ScreenshotRun, GoldenPictures) {
    TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream rng;
    std::ostringstream out, err;
    ShotEnvironment env{lib, slots, rng, out, err};
    const auto status =
        ScreenshotRun("-shot1 -shot2 -shot3 -shot4 -shot5 -shot6 -shot7 -shot8 -png", env);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_TRUE(err.str().empty()) << err.str();

    std::string expectedOut;
    for (const auto& [name, hash] : test::kGoldenShots) {
        const std::string raw = readFile(dir.file(std::string(name) + ".raw"));
        ASSERT_EQ(raw.size(), 2359296u) << name;
        EXPECT_EQ(test::sha256Hex(raw), hash) << name;

        const std::string pngBytes = readFile(dir.file(std::string(name) + ".png"));
        const test::PngPixels png = test::decodePng(pngBytes);
        EXPECT_EQ(png.width, 1024) << name;
        EXPECT_EQ(png.height, 768) << name;
        EXPECT_EQ(png.channels, 3) << name << ": RGB without alpha";
        EXPECT_TRUE(png.rgb == raw) << name << ": PNG pixels differ from the raw file";
        EXPECT_EQ(test::sha256Hex(pngBytes), test::goldenPngHash(name)) << name;
        expectedOut += std::string(name) + ".raw  2359296 bytes\n";
        expectedOut +=
            std::string(name) + ".png  " +
            std::to_string(std::filesystem::file_size(dir.file(std::string(name) + ".png"))) +
            " bytes\n";
    }
    EXPECT_EQ(out.str(), expectedOut);
    EXPECT_EQ(dir.entries().size(), 16u) << "no temporary files are left";
    // Everything the run built is released.
    for (int i = 0; i < kSceneCount; ++i) EXPECT_TRUE(lib[i].empty());
    EXPECT_EQ(slots.currentImage, nullptr);
    EXPECT_EQ(slots.currentRenderer, nullptr);
}

}  // namespace
}  // namespace lumek

namespace lumek {
namespace {

// A size that is no multiple of the tile edge: padded, cropped, and the same
// bytes on every build. Looked at when pinned: the red lettering lit by the
// white disc at the top left, its shadow to the lower right, no seam at the
// right or bottom edge.
constexpr const char* kXMas1000x563Sha256 =
    "f2027f81892b822c24b567facd1c7ba9ba4e7f1247890bbf0964e7f60b0b9450";

TEST(ScreenshotRun, AnySizeHasItsGoldenPictureAndOutputNamesIt) {
    TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream rng;
    std::ostringstream out, err;
    ShotEnvironment env{lib, slots, rng, out, err, 2};
    env.size = switches::PictureSize{1000, 563};
    // A name made of switches is only a name.
    env.output = "xmas-shot1-t5.png";
    EXPECT_EQ(ScreenshotRun("-shot8 -png", env), 0);
    EXPECT_TRUE(err.str().empty()) << err.str();
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"xmas-shot1-t5.png", "xmas-shot1-t5.raw"}));
    const std::string raw = readFile(dir.file("xmas-shot1-t5.raw"));
    ASSERT_EQ(raw.size(), 1000u * 563 * 3);
    EXPECT_EQ(test::sha256Hex(raw), kXMas1000x563Sha256);
    const test::PngPixels png = test::decodePng(readFile(dir.file("xmas-shot1-t5.png")));
    EXPECT_EQ(png.width, 1000);
    EXPECT_EQ(png.height, 563);
    EXPECT_TRUE(png.rgb == raw);
    EXPECT_EQ(slots.currentImage, nullptr);
}

TEST(ScreenshotRun, OutputNamesOnePictureOnly) {
    TempDir dir;
    test::ScopedWorkingDir cwd(dir.path());
    SceneLibrary lib;
    RenderSlots slots;
    RandomStream rng;
    std::ostringstream out, err;
    ShotEnvironment env{lib, slots, rng, out, err};
    env.output = "a";
    EXPECT_EQ(ScreenshotRun("-shot1 -shot2", env), 1);
    EXPECT_EQ(err.str(), "lumek: --output names one picture, but 2 rows were asked for\n");
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(rawNameForOutput("a.png"), "a.raw");
    EXPECT_EQ(rawNameForOutput("a.raw"), "a.raw");
    EXPECT_EQ(rawNameForOutput("a.b"), "a.b.raw");
    EXPECT_EQ(rawNameForOutput(".png"), ".png.raw");
}

}  // namespace
}  // namespace lumek
