// The whole show, from start to its own end, on a virtual screen: about
// 312 seconds. Screenshots of each scene are kept for people to look at.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/files.h"
#include "support/process.h"
#include "support/screen.h"

namespace lumek {
namespace {

using namespace std::chrono_literals;

TEST(WholeShow, PlaysToItsEndWithSteadyMemory) {
    test::XvfbServer server(640, 480, 24);
    ASSERT_TRUE(server.ok());
    test::TempDir dir;
    test::ChildProcess lumek({LUMEK_EXE, "-t5"}, {"DISPLAY=" + server.display()}, dir.path(),
                             dir.file("out"), dir.file("err"));
    ASSERT_TRUE(test::waitForWindow(server.display(), "Lumek", 10s));
    const auto start = std::chrono::steady_clock::now();

    // A moment inside each scene (seconds of the show).
    const std::pair<double, const char*> scenes[] = {
        {12, "Lumeklogo"}, {36, "ColorCircles"}, {56, "Boxes"},    {80, "Spotlight"},
        {150, "Shadow1"},  {210, "Shadow2"},     {252, "Shadow3"}, {290, "XMas"},
        {306.5, "FarLights"}, {310, "WhiteDisc"}};
    long settledKiB = 0, peakKiB = 0;
    int index = 0;
    for (const auto& [at, name] : scenes) {
        const auto when = start + std::chrono::milliseconds(long(at * 1000));
        while (std::chrono::steady_clock::now() < when) {
            std::this_thread::sleep_for(250ms);
            const long kib = test::residentKiB(lumek.pid());
            if (std::chrono::steady_clock::now() - start > 10s) {
                if (settledKiB == 0) settledKiB = kib;
                peakKiB = std::max(peakKiB, kib);
            }
        }
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
    // Nothing is allocated per frame: memory after the first ten seconds
    // stays where it was.
    EXPECT_GT(settledKiB, 0);
    EXPECT_LE(peakKiB, settledKiB + 2048) << "settled " << settledKiB << " KiB, peak " << peakKiB;
    std::printf("show: %.1f s, resident %ld KiB after 10 s, peak %ld KiB; screenshots in %s\n",
                seconds, settledKiB, peakKiB, test::screenshotDir().c_str());
}

}  // namespace
}  // namespace lumek
