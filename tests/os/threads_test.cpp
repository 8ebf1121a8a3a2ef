// Starting threads with a fallback: a refused start leaves the ones before
// it running, and what ends a thread's work reaches the caller.
#include "os/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lumek {
namespace {

TEST(ThreadGroup, StartsEveryThreadAndJoinsThem) {
    std::vector<std::atomic<int>> ran(6);
    {
        os::ThreadGroup group;
        EXPECT_EQ(group.start(2, 6, [&ran](int i) { ran[static_cast<size_t>(i)]++; }), 4);
        EXPECT_EQ(group.size(), 4);
        EXPECT_TRUE(group.shortfall().empty());
        group.join();
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ran[static_cast<size_t>(i)].load(), i >= 2 ? 1 : 0) << i;
}

TEST(ThreadGroup, ARefusedStartEndsTheStartingButNotTheThreadsBeforeIt) {
    std::atomic<int> ran{0};
    os::ThreadGroup::failStartForTests(3);
    os::ThreadGroup group;
    const int started = group.start(0, 5, [&ran](int) { ++ran; });
    os::ThreadGroup::failStartForTests(0);
    EXPECT_EQ(started, 2);
    EXPECT_NE(group.shortfall().find("Resource temporarily unavailable"), std::string::npos)
        << group.shortfall();
    group.join();
    EXPECT_EQ(ran.load(), 2);
}

TEST(ThreadGroup, TheFirstExceptionOfAThreadIsThrownByJoin) {
    os::ThreadGroup group;
    std::atomic<int> finished{0};
    group.start(0, 4, [&finished](int i) {
        if (i == 2) throw std::bad_alloc();
        ++finished;
    });
    EXPECT_THROW(group.join(), std::bad_alloc);
    EXPECT_EQ(finished.load(), 3) << "the others finished their work";
    EXPECT_NO_THROW(group.join()) << "thrown once";
}

TEST(ThreadGroup, AnExceptionNotJoinedForIsDroppedAtTheEndOfScope) {
    std::atomic<bool> ran{false};
    {
        os::ThreadGroup group;
        group.start(0, 1, [&ran](int) {
            ran = true;
            throw std::runtime_error("lost");
        });
    }
    EXPECT_TRUE(ran.load());
}

// A thread that hangs is given up on: the group goes away without waiting,
// and the thread, once it ends (here with an exception), touches nothing
// of the group's.
TEST(ThreadGroup, LeavingGivesUpOnAHangingThreadWhichOutlivesTheGroup) {
    struct Hold {
        std::atomic<bool> release{false};
        std::atomic<bool> ended{false};
    };
    auto hold = std::make_shared<Hold>();
    {
        os::ThreadGroup group;
        group.start(0, 1, [hold](int) {
            while (!hold->release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            hold->ended.store(true);
            throw std::runtime_error("after the group");
        });
        group.leave();
        EXPECT_EQ(group.size(), 0);
        EXPECT_NO_THROW(group.join());
    }
    EXPECT_FALSE(hold->ended.load()) << "the group did not wait";
    hold->release.store(true);
    for (int i = 0; i < 1000 && !hold->ended.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(hold->ended.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // its exception is kept
}

}  // namespace
}  // namespace lumek
