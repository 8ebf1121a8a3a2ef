// The real program on a private virtual screen: what it shows and how it
// ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/process.h"
#include "support/screen.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::Screenshot;
using test::TempDir;
using test::XvfbServer;

class OnScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<XvfbServer>(640, 480, 24);
        ASSERT_TRUE(server->ok()) << "Xvfb did not start";
    }

    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& switches) {
        std::vector<std::string> argv = {LUMEK_EXE};
        argv.insert(argv.end(), switches.begin(), switches.end());
        std::string displayVar = "DISPLAY=";
        displayVar.append(display());
        return std::make_unique<ChildProcess>(argv, std::vector<std::string>{displayVar},
                                              dir.path(), dir.file("out"), dir.file("err"));
    }
    std::string display() const { return server->display(); }
    std::string err() const { return test::readFile(dir.file("err")); }

    std::unique_ptr<XvfbServer> server;
    TempDir dir;
};

TEST_F(OnScreen, FullscreenShowsThePictureOnACentredQuad) {
    auto lumek = start({});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s));
    std::this_thread::sleep_for(1500ms);
    const Screenshot shot = test::takeScreenshot(display());
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);

    // 1.625 of a visible half-height of 4 tan 22.5 = 1.657: about 98 %.
    const test::Box box = test::litBox(shot);
    EXPECT_NEAR(box.top, 4.6, 3);
    EXPECT_NEAR(box.bottom, 475.4, 3);
    EXPECT_NEAR(box.left, 6.9, 3);
    EXPECT_NEAR(box.right, 633.1, 3);
    EXPECT_GT(test::litShare(shot, box), 0.98) << "one solid picture, black around it";
    // The logo's big disc lies below the view's centre: the image's first
    // row is at the top of the screen.
    const double top = test::meanBrightness(shot, box.left, box.top, box.right, box.top + 100);
    const double bottom =
        test::meanBrightness(shot, box.left, box.bottom - 100, box.right, box.bottom);
    EXPECT_GT(bottom, top + 30) << "top " << top << " bottom " << bottom;
    test::saveScreenshot(shot, "screen-fullscreen.png");

    const auto before = std::chrono::steady_clock::now();
    test::pressKey(display(), "Lumek", "space");
    EXPECT_EQ(lumek->waitFor(2s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
}

TEST_F(OnScreen, ClosingTheWindowEndsWithStatusZero) {
    auto lumek = start({"-t1"});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s));
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(test::xTool(display(), "close Lumek").status, 0);
    EXPECT_EQ(lumek->waitFor(2s), 0);
}

TEST_F(OnScreen, AnUnsupportedModeAnsweredYesRunsInAWindow) {
    auto lumek = start({"-r2"});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s)) << "the question";
    test::pressKey(display(), "Lumek", "Return");  // Yes is the default button
    std::this_thread::sleep_for(1500ms);
    const test::ProcessResult found = test::xTool(display(), "find Lumek");
    EXPECT_EQ(found.out, "0 0 400 300\n");
    const Screenshot shot = test::takeScreenshot(display());
    const test::Box box = test::litBox(shot);
    EXPECT_GE(box.left, 0);
    EXPECT_LE(box.right, 399);
    EXPECT_LE(box.bottom, 299);
    EXPECT_GT(test::litShare(shot, box), 0.98);
    test::saveScreenshot(shot, "screen-windowed.png");

    test::pressKey(display(), "Lumek", "space");
    EXPECT_EQ(lumek->waitFor(2s), 0);
    // On stderr the question is one line, its caption (the program's name)
    // left out.
    EXPECT_NE(err().find("lumek: The Requested Fullscreen Mode Is Not Supported By Your Video "
                         "Card."),
              std::string::npos)
        << err();
}

TEST_F(OnScreen, AnUnsupportedModeAnsweredNoEndsByChoice) {
    auto lumek = start({"-r2"});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s));
    test::pressKey(display(), "Lumek", "Escape");  // No
    ASSERT_TRUE(test::waitForWindow(display(), "ERROR", 5s));
    test::pressKey(display(), "ERROR", "Return");
    EXPECT_EQ(lumek->waitFor(3s), 0);
    EXPECT_NE(err().find("ERROR: Program Will Now Close."), std::string::npos) << err();
}

TEST_F(OnScreen, NearestFilteringShowsHardEdgedTexels) {
    auto smooth = start({});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s));
    std::this_thread::sleep_for(1500ms);
    const Screenshot linear = test::takeScreenshot(display());
    test::pressKey(display(), "Lumek", "space");
    ASSERT_EQ(smooth->waitFor(3s), 0);

    auto blocky = start({"-i"});
    ASSERT_TRUE(test::waitForWindow(display(), "Lumek", 10s));
    std::this_thread::sleep_for(1500ms);
    const Screenshot nearest = test::takeScreenshot(display());
    test::saveScreenshot(nearest, "screen-nearest.png");
    test::pressKey(display(), "Lumek", "space");
    ASSERT_EQ(blocky->waitFor(3s), 0);

    // A 64-texel image on a 470-pixel quad: with nearest filtering about
    // six of every seven neighbouring pixels are the same texel.
    const double sameNearest = test::equalNeighbourShare(nearest, test::litBox(nearest));
    const double sameLinear = test::equalNeighbourShare(linear, test::litBox(linear));
    EXPECT_GT(sameNearest, 0.75);
    EXPECT_LT(sameLinear, 0.5);
}

// Without a display the show says so in one line that says what to do,
// with none of the window system's own complaints (libwayland's about
// XDG_RUNTIME_DIR) and no wording of another platform.
std::string runWithoutDisplay(const std::vector<std::string>& switches,
                              const std::vector<std::string>& env, int& status) {
    TempDir dir;
    std::vector<std::string> argv = {LUMEK_EXE};
    argv.insert(argv.end(), switches.begin(), switches.end());
    std::vector<std::string> vars = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR",
                                     "SDL_VIDEODRIVER"};
    vars.insert(vars.end(), env.begin(), env.end());
    ChildProcess lumek(argv, vars, dir.path(), dir.file("out"), dir.file("err"));
    status = lumek.waitFor(10s).value_or(-2);
    EXPECT_TRUE(test::readFile(dir.file("out")).empty());
    return test::readFile(dir.file("err"));
}

TEST(WithoutADisplay, TheShowSaysWhatToDoInOneLineAndEndsWithStatusOne) {
    int status = 0;
    const std::string err = runWithoutDisplay({"-t3"}, {}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err,
              "lumek: the show cannot play: there is no display to show it on (DISPLAY and "
              "WAYLAND_DISPLAY are unset); run it on a desktop, or give a mode switch such as "
              "-bench or -shot1 (lumek --help)\n");
}

TEST(WithoutADisplay, AModesOptionWithoutItsModeNamesTheMissingSwitch) {
    int status = 0;
    std::string err = runWithoutDisplay({"-json"}, {}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err,
              "lumek: the mode switch -bench (for -json) is missing, so the show was started, "
              "but there is no display to show it on (DISPLAY and WAYLAND_DISPLAY are unset)\n");

    err = runWithoutDisplay({"-png", "-json"}, {}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.rfind("lumek: the mode switches -bench (for -json) and -shot1 ... -shot8 (for "
                        "-png) are missing, so the show was started",
                        0),
              0u)
        << err;
}

// A display the window system cannot reach: one line with the reason, in
// this platform's words.
TEST(WithoutADisplay, ADisplayThatCannotBeReachedIsOneLineInLinuxWords) {
    int status = 0;
    // No X server answers there, and libwayland would complain about the
    // missing XDG_RUNTIME_DIR if Wayland were tried.
    const std::string err = runWithoutDisplay({}, {"DISPLAY=:97"}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.rfind("lumek: ERROR: Cannot open the display DISPLAY=:97: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.find("Window Class"), std::string::npos) << err;
}

}  // namespace
}  // namespace lumek
