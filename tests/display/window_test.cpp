#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/platform.h"
#include "display/window_system.h"
#include "support/fake_window_system.h"

namespace lumek::display {
namespace {

using test::FakeWindowSystem;
using Log = std::vector<std::string>;

const Log kOpenSteps = {"registerClass",    "changeDisplayMode 800x600x32",
                        "hideCursor",       "createWindow Lumek 800x600x32 fullscreen",
                        "getDeviceContext", "choosePixelFormat 32",
                        "setPixelFormat",   "createContext",
                        "makeCurrent"};

Log prefixThrough(const std::string& step) {
    Log out;
    for (const std::string& s : kOpenSteps) {
        out.push_back(s);
        if (s.rfind(step, 0) == 0) break;
    }
    return out;
}

WindowOpened open(FakeWindowSystem&, bool fullscreen = true) {
    return openWindow("Lumek", 800, 600, 32, fullscreen, true);
}

TEST(OpenWindow, OpensFullscreenInThisOrder) {
    FakeWindowSystem fake;
    EXPECT_EQ(open(fake), WindowOpened::Yes);
    Log expected = kOpenSteps;
    expected.push_back("showWindow");
    EXPECT_EQ(fake.log, expected);
    EXPECT_TRUE(windowActive());

    fake.log.clear();
    closeWindow();
    EXPECT_EQ(fake.log, (Log{"restoreDisplayMode", "showCursor", "releaseCurrent", "deleteContext",
                             "releaseDeviceContext", "destroyWindow", "unregisterClass"}));
}

TEST(OpenWindow, EveryFailingStepReleasesWhatWasMadeThenSaysWhy) {
    struct Case {
        const char* step;
        const char* text;
        Log released;
    };
    const Log all = {"releaseCurrent", "deleteContext", "releaseDeviceContext", "destroyWindow"};
    const Case cases[] = {
        {"createWindow", "Window Creation Error.", {}},
        {"getDeviceContext", "Can't Create A GL Device Context.", {"destroyWindow"}},
        {"choosePixelFormat",
         "Can't Find A Suitable PixelFormat.",
         {"releaseDeviceContext", "destroyWindow"}},
        {"setPixelFormat", "Can't Set The PixelFormat.", {"releaseDeviceContext", "destroyWindow"}},
        {"createContext",
         "Can't Create A GL Rendering Context.",
         {"releaseDeviceContext", "destroyWindow"}},
        {"makeCurrent", "Can't Activate The GL Rendering Context.", all},
    };
    for (const Case& c : cases) {
        FakeWindowSystem fake;
        fake.failing = {c.step};
        EXPECT_EQ(open(fake), WindowOpened::Failed) << c.step;
        Log expected = prefixThrough(c.step);
        expected.push_back("restoreDisplayMode");
        expected.push_back("showCursor");
        for (const std::string& r : c.released) expected.push_back(r);
        expected.push_back("unregisterClass");
        expected.push_back(std::string("box ERROR [") + c.text + "] ok exclamation");
        EXPECT_EQ(fake.log, expected) << c.step;
    }
}

// A message box's text also goes to stderr, on one line, its prefix said once.
TEST(Messages, TheStderrLineSaysTheProgramsNameOnceOnOneLine) {
    EXPECT_EQ(messageLine("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. "
                          "Use Windowed Mode Instead?",
                          "Lumek"),
              "lumek: The Requested Fullscreen Mode Is Not Supported By Your Video Card. Use "
              "Windowed Mode Instead?\n");
    EXPECT_EQ(messageLine("Program Will Now Close.", "ERROR"),
              "lumek: ERROR: Program Will Now Close.\n");
    EXPECT_EQ(messageLine("a", "LUMEK"), "lumek: a\n");
    EXPECT_EQ(messageLine("a", "Lumek Show"), "lumek: Lumek Show: a\n");
}

TEST(OpenWindow, AClassThatCannotBeRegisteredIsReportedWithoutClosing) {
    FakeWindowSystem fake;
    fake.failing = {"registerClass"};
    EXPECT_EQ(open(fake), WindowOpened::Failed);
    EXPECT_EQ(fake.log, (Log{"registerClass",
                             "box ERROR [Failed To Register The Window Class.] ok exclamation"}));
}

const std::string kQuestion =
    "box Lumek [The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use "
    "Windowed Mode Instead?] yes/no exclamation";

TEST(OpenWindow, AnsweringYesToTheFallbackOpensAWindowAndLeavesTheModeAlone) {
    FakeWindowSystem fake;
    fake.failing = {"changeDisplayMode"};
    fake.answers = {MessageAnswer::Yes};
    EXPECT_EQ(open(fake), WindowOpened::Yes);
    EXPECT_EQ(fake.log, (Log{"registerClass", "changeDisplayMode 800x600x32", kQuestion,
                             "createWindow Lumek 800x600x32 windowed", "getDeviceContext",
                             "choosePixelFormat 32", "setPixelFormat", "createContext",
                             "makeCurrent", "showWindow"}));
    fake.log.clear();
    closeWindow();
    EXPECT_EQ(fake.log, (Log{"releaseCurrent", "deleteContext", "releaseDeviceContext",
                             "destroyWindow", "unregisterClass"}));
}

TEST(OpenWindow, AnsweringNoEndsTheProgramByChoice) {
    FakeWindowSystem fake;
    fake.failing = {"changeDisplayMode"};
    fake.answers = {MessageAnswer::No};
    EXPECT_EQ(open(fake), WindowOpened::Declined);
    EXPECT_EQ(fake.log, (Log{"registerClass", "changeDisplayMode 800x600x32", kQuestion,
                             "box ERROR [Program Will Now Close.] ok stop"}));
}

TEST(OpenWindow, AWindowedRequestNeverTouchesTheDisplayMode) {
    FakeWindowSystem fake;
    EXPECT_EQ(openWindow("Lumek", 320, 240, 16, false, false), WindowOpened::Yes);
    EXPECT_EQ(fake.log[1], "createWindow Lumek 320x240x16 windowed");
    EXPECT_EQ(fake.log[3], "choosePixelFormat 16");
    closeWindow();
}

TEST(CloseWindow, ReportsEveryFailedReleaseAndCarriesOn) {
    FakeWindowSystem fake;
    ASSERT_EQ(open(fake), WindowOpened::Yes);
    fake.log.clear();
    fake.failing = {"releaseCurrent", "deleteContext", "releaseDeviceContext", "destroyWindow",
                    "unregisterClass"};
    closeWindow();
    EXPECT_EQ(
        fake.log,
        (Log{"restoreDisplayMode", "showCursor", "releaseCurrent",
             "box SHUTDOWN ERROR [Release Of DC And RC Failed.] ok information", "deleteContext",
             "box SHUTDOWN ERROR [Release Rendering Context Failed.] ok information",
             "releaseDeviceContext",
             "box SHUTDOWN ERROR [Release Device Context Failed.] ok information", "destroyWindow",
             "box SHUTDOWN ERROR [Could Not Release hWnd.] ok information", "unregisterClass",
             "box SHUTDOWN ERROR [Could Not Unregister Class.] ok information"}));
}

TEST(WindowProcedure, MinimisingAloneMakesTheWindowInactive) {
    FakeWindowSystem fake;
    WindowEvent e;
    e.type = WindowEvent::Type::Activate;
    e.minimised = true;
    EXPECT_TRUE(windowProcedure(e));
    EXPECT_FALSE(windowActive());
    e.minimised = false;  // restored, or merely covered / unfocused
    EXPECT_TRUE(windowProcedure(e));
    EXPECT_TRUE(windowActive());
}

TEST(WindowProcedure, RefusesTheScreenSaverAndMonitorPowerDown) {
    FakeWindowSystem fake;
    WindowEvent e;
    e.type = WindowEvent::Type::SysCommand;
    e.command = kScreenSaveCommand;
    EXPECT_TRUE(windowProcedure(e));
    e.command = kMonitorPowerCommand;
    EXPECT_TRUE(windowProcedure(e));
    e.command = 0xF020;  // minimise: default handling
    EXPECT_FALSE(windowProcedure(e));
    // The system may set the four low bits; they do not change the command.
    e.command = kScreenSaveCommand | 0x2;
    EXPECT_TRUE(windowProcedure(e));
    e.command = kMonitorPowerCommand | 0xF;
    EXPECT_TRUE(windowProcedure(e));
    e.command = 0xF020 | 0x1;
    EXPECT_FALSE(windowProcedure(e));
}

TEST(WindowProcedure, AKeyClosesTheWindowWhichPostsQuitZero) {
    FakeWindowSystem fake;
    WindowEvent key;
    key.type = WindowEvent::Type::KeyDown;
    EXPECT_TRUE(windowProcedure(key));
    int code = 42;
    EXPECT_EQ(takeEvent(code), Pumped::Quit);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(fake.log, Log{"sendClose"});
}

TEST(WindowProcedure, SystemKeysGetTheDefaultHandling) {
    FakeWindowSystem fake;
    WindowEvent e;
    e.type = WindowEvent::Type::SysKeyDown;
    EXPECT_FALSE(windowProcedure(e));
    e.type = WindowEvent::Type::Other;
    EXPECT_FALSE(windowProcedure(e));
    EXPECT_TRUE(fake.log.empty());
}

TEST(WindowProcedure, SizeChangesResetTheView) {
    FakeWindowSystem fake;
    WindowEvent e;
    e.type = WindowEvent::Type::Size;
    e.width = 640;
    e.height = 0;  // treated as 1, no division by zero
    EXPECT_TRUE(windowProcedure(e));
}

}  // namespace
}  // namespace lumek::display
