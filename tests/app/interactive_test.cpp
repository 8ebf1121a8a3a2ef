// The main loop against a scripted window system and clock.
#include "app/interactive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/state.h"
#include "render/random.h"
#include "support/fake_window_system.h"

namespace lumek {
namespace {

using display::WindowEvent;
using test::FakeWindowSystem;

struct SwapSeen {
    uint32_t elapsed;
    uint32_t randomState;
    uint32_t phase;
};

class MainLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        settings.renderSize = 32;
        timeline = TimelineState{};
        programRandom().setState(RandomStream::kStartState);
        fake.onSwap = [this] {
            swaps.push_back({elapsedMs, programRandom().state(), timeline.timelinePhase});
        };
        fake.onUnregister = [this] {
            libraryBuiltAtClose = sceneLibrary[kLumeklogo].size() == 7;
            imageAtClose = renderSlots.currentImage != nullptr;
        };
    }
    void TearDown() override {
        for (int i = 0; i < kSceneCount; ++i) EXPECT_TRUE(sceneLibrary[i].empty());
        EXPECT_EQ(renderSlots.currentImage, nullptr);
        EXPECT_EQ(renderSlots.currentRenderer, nullptr);
    }

    FakeWindowSystem fake;
    std::vector<SwapSeen> swaps;
    bool libraryBuiltAtClose = false;
    bool imageAtClose = false;
};

TEST_F(MainLoop, AKeyPressShutsDownInOrderWithStatusZero) {
    fake.clock = 50;
    fake.idleAt(100);
    fake.idleAt(116);
    fake.sendType(WindowEvent::Type::KeyDown);
    EXPECT_EQ(runInteractive(), 0);
    EXPECT_FALSE(fake.scriptRanOut);

    ASSERT_EQ(swaps.size(), 2u);
    EXPECT_EQ(swaps[0].elapsed, 50u);
    EXPECT_EQ(swaps[1].elapsed, 66u);
    EXPECT_NE(swaps[0].randomState, RandomStream::kStartState) << "a frame was rendered";
    EXPECT_EQ(fake.log[3], "createWindow Lumek 640x480x32 fullscreen");
    EXPECT_EQ(fake.log.back(), "unregisterClass");
    // The window goes first, then the shapes, the image and the renderer.
    EXPECT_TRUE(libraryBuiltAtClose);
    EXPECT_TRUE(imageAtClose);
}

TEST_F(MainLoop, ClosingTheWindowEndsWithStatusZero) {
    fake.idleAt(16);
    fake.sendType(WindowEvent::Type::Close);
    fake.idleAt(32);  // never reached: the quit comes first
    EXPECT_EQ(runInteractive(), 0);
    EXPECT_EQ(swaps.size(), 1u);
    EXPECT_EQ(fake.script.size(), 1u);
}

TEST_F(MainLoop, MinimisedPassesRunTheClockAndSwapWithoutRendering) {
    fake.idleAt(16);
    fake.sendActivate(true);
    fake.idleAt(1000);
    fake.idleAt(9000);
    fake.sendActivate(false);
    fake.idleAt(9016);
    fake.sendType(WindowEvent::Type::Close);
    EXPECT_EQ(runInteractive(), 0);

    ASSERT_EQ(swaps.size(), 4u);
    EXPECT_EQ(swaps[1].elapsed, 1000u);
    EXPECT_EQ(swaps[2].elapsed, 9000u);
    EXPECT_EQ(swaps[1].randomState, swaps[0].randomState) << "nothing rendered while minimised";
    EXPECT_EQ(swaps[2].randomState, swaps[0].randomState);
    EXPECT_EQ(swaps[2].phase, 0u);
    // Restored: the show continues at the later time, past the first phase.
    EXPECT_NE(swaps[3].randomState, swaps[0].randomState);
    EXPECT_EQ(swaps[3].phase, 1u);
}

TEST_F(MainLoop, TheEndOfTheShowShutsDownWithoutUserAction) {
    for (int i = 0; i < 40; ++i) fake.idleAt(400000);
    EXPECT_EQ(runInteractive(), 0);
    // Catching up one phase a frame (two across phase 7): 24 frames, the
    // last of which ends the show and is not swapped.
    EXPECT_EQ(swaps.size(), 23u);
    EXPECT_EQ(timeline.timelinePhase, 25u);
    EXPECT_EQ(fake.script.size(), 40u - 24u);
    EXPECT_EQ(fake.log.back(), "unregisterClass");
    EXPECT_TRUE(libraryBuiltAtClose);
}

TEST_F(MainLoop, ATimerWrapLeavesTheSequenceClockRight) {
    fake.clock = 0xFFFFFFF0u;
    fake.idleAt(0xFFFFFFF8u);
    fake.idleAt(0x10u);
    fake.sendType(WindowEvent::Type::Close);
    EXPECT_EQ(runInteractive(), 0);
    ASSERT_EQ(swaps.size(), 2u);
    EXPECT_EQ(swaps[0].elapsed, 8u);
    EXPECT_EQ(swaps[1].elapsed, 32u);
    EXPECT_EQ(swaps[1].phase, 0u);
}

TEST_F(MainLoop, AWindowThatCannotOpenEndsWithStatusOne) {
    fake.failing = {"createContext"};
    EXPECT_EQ(runInteractive(), 1);
    EXPECT_TRUE(swaps.empty());
    EXPECT_FALSE(libraryBuiltAtClose) << "nothing is built before the window exists";
}

TEST_F(MainLoop, DecliningTheWindowedFallbackEndsWithStatusZero) {
    fake.failing = {"changeDisplayMode"};
    fake.answers = {display::MessageAnswer::No};
    EXPECT_EQ(runInteractive(), 0);
    EXPECT_EQ(fake.log.back(), "box ERROR [Program Will Now Close.] ok stop");
}

}  // namespace
}  // namespace lumek
