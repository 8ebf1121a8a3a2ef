// The whole show, from start to its own end, on a virtual screen: about
// 312 seconds. It runs in a test build of the program that counts every
// allocation, so the promise that a frame allocates nothing is checked
// directly; resident memory only gets a bound with room for the GL
// driver's and the allocator's own caches. Screenshots of each scene are
// kept for people to look at.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/process.h"
#include "support/screen.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;

struct FrameNote {
    uint32_t ms;
    uint64_t allocations;  // so far, in the whole process
    long residentKiB;
};

std::vector<FrameNote> readNotes(const std::string& path) {
    std::ifstream in(path);
    std::vector<FrameNote> notes;
    FrameNote n{};
    while (in >> n.ms >> n.allocations >> n.residentKiB) notes.push_back(n);
    return notes;
}

constexpr uint32_t kAllocationsSettleMs = 3000;
constexpr uint32_t kMemorySettleMs = 10000;
constexpr long kResidentGrowthKiB = 8 * 1024;

// What the show promises: once it runs (after its first seconds) a frame
// allocates nothing, and resident memory grows by at most 8 MiB after the
// first ten seconds. Empty when both hold.
std::string memoryFaults(const std::vector<FrameNote>& notes) {
    std::string faults;
    const FrameNote* settled = nullptr;
    const FrameNote* memorySettled = nullptr;
    long peakKiB = 0;
    for (const FrameNote& n : notes) {
        if (n.ms < kAllocationsSettleMs) continue;
        if (settled == nullptr) settled = &n;
        if (n.allocations > settled->allocations && faults.empty())
            faults += std::to_string(n.allocations - settled->allocations) +
                      " allocations between " + std::to_string(settled->ms) + " ms and " +
                      std::to_string(n.ms) + " ms. ";
        if (n.ms < kMemorySettleMs) continue;
        if (memorySettled == nullptr) memorySettled = &n;
        peakKiB = std::max(peakKiB, n.residentKiB);
    }
    if (settled == nullptr) return "no frame after the first seconds. ";
    if (memorySettled != nullptr && peakKiB > memorySettled->residentKiB + kResidentGrowthKiB)
        faults += "resident memory grew from " + std::to_string(memorySettled->residentKiB) +
                  " KiB to " + std::to_string(peakKiB) + " KiB. ";
    return faults;
}

TEST(WholeShow, PlaysToItsEndAndAllocatesNothingPerFrame) {
    test::XvfbServer server(640, 480, 24);
    ASSERT_TRUE(server.ok());
    test::TempDir dir;
    test::ChildProcess lumek({LUMEK_SHOW_PROBE, dir.file("notes"), "-t5"},
                             {"DISPLAY=" + server.display()}, dir.path(), dir.file("out"),
                             dir.file("err"));
    // Generous: the test command runs this beside other work at a lower
    // priority; the show is tied to its clock, not to the frame rate.
    ASSERT_TRUE(test::waitForWindow(server.display(), "Lumek", 60s));
    const auto start = std::chrono::steady_clock::now();

    // A moment inside each scene (seconds of the show).
    const std::pair<double, const char*> scenes[] = {
        {12, "Lumeklogo"},    {36, "ColorCircles"}, {56, "Boxes"},    {80, "Spotlight"},
        {150, "Shadow1"},     {210, "Shadow2"},     {252, "Shadow3"}, {290, "XMas"},
        {306.5, "FarLights"}, {310, "WhiteDisc"}};
    int index = 0;
    for (const auto& [at, name] : scenes) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(long(at * 1000)));
        ASSERT_TRUE(lumek.running()) << "ended before " << name;
        const test::Screenshot shot = test::takeScreenshot(server.display());
        const std::string file = "show-" + std::to_string(index++) + "-" + name + ".png";
        test::saveScreenshot(shot, file);
        // The last scene shrinks to a dot, so ask only for some light.
        const test::Box lit = test::litBox(shot);
        EXPECT_LE(lit.left, lit.right) << name << ": the screen is black";
    }
    EXPECT_EQ(lumek.waitFor(30s), 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 311.0);
    EXPECT_LT(seconds, 320.0);

    const std::vector<FrameNote> notes = readNotes(dir.file("notes"));
    ASSERT_GT(notes.size(), 1000u);
    EXPECT_GE(notes.back().ms, 311000u);
    EXPECT_EQ(memoryFaults(notes), "");
    std::printf(
        "show: %.1f s, %zu frames, %llu allocations in all, resident %ld KiB at the end; "
        "screenshots in %s\n",
        seconds, notes.size(), static_cast<unsigned long long>(notes.back().allocations),
        notes.back().residentKiB, test::screenshotDir().c_str());
}

// The same check on a program that really leaks: a kilobyte every frame.
TEST(ShowMemoryCheck, FindsAKilobyteLostEveryFrame) {
    test::XvfbServer server(640, 480, 24);
    ASSERT_TRUE(server.ok());
    test::TempDir dir;
    test::ChildProcess lumek({LUMEK_SHOW_PROBE, dir.file("notes"), "--leak", "-t1"},
                             {"DISPLAY=" + server.display()}, dir.path(), dir.file("out"),
                             dir.file("err"));
    ASSERT_TRUE(test::waitForWindow(server.display(), "Lumek", 60s));
    std::this_thread::sleep_for(5s);
    test::pressKey(server.display(), "Lumek", "space");
    EXPECT_EQ(lumek.waitFor(20s), 0);
    const std::vector<FrameNote> notes = readNotes(dir.file("notes"));
    ASSERT_FALSE(notes.empty());
    const std::string faults = memoryFaults(notes);
    EXPECT_NE(faults.find(" allocations between "), std::string::npos) << faults;
}

}  // namespace
}  // namespace lumek
