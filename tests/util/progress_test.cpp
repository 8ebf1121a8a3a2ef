// The one clock format and the one progress line of the long-running
// modes.
#include "util/progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace lumek {
namespace {

TEST(ProgressClock, CountsWholeSecondsAsAStopwatchDoes) {
    EXPECT_EQ(progress::clock(0), "0:00");
    EXPECT_EQ(progress::clock(-3), "0:00");
    EXPECT_EQ(progress::clock(59.9), "0:59");
    EXPECT_EQ(progress::clock(60), "1:00");
    EXPECT_EQ(progress::clock(312), "5:12");
    EXPECT_EQ(progress::clock(3599.99), "59:59");
    EXPECT_EQ(progress::clock(3600), "1:00:00");
    EXPECT_EQ(progress::clock(36 * 3600 + 62), "36:01:02");
}

TEST(ProgressClock, TheTimeLeftAndTheTimePassedAddUpToTheLength) {
    EXPECT_EQ(progress::clockLeft(10.4, 60), "0:50");
    EXPECT_EQ(progress::clockLeft(0, 1800), "30:00");
    EXPECT_EQ(progress::clockLeft(1799.9, 1800), "0:01");
    EXPECT_EQ(progress::clockLeft(1805, 1800), "0:00");
    EXPECT_EQ(progress::rate(100, 4, 1), "25.0");
    EXPECT_EQ(progress::rate(100, 0, 0), "0");
    EXPECT_EQ(progress::fixed(2.915, 1), "2.9");
    EXPECT_EQ(progress::fixed(1e100, 1).size(), 103u) << "a huge figure is never cut";
}

TEST(ProgressLine, ATerminalGetsOneLineRedrawnOverTheLongerOneBefore) {
    std::ostringstream out;
    progress::Line line(&out, true);
    line.show("0:01  long text");
    line.show("0:02  short");
    line.finish();
    line.finish();  // once only
    EXPECT_EQ(out.str(), "\r0:01  long text\r0:02  short    \n");
}

// A line wider than the terminal would wrap, and the next one could not
// replace it: it is cut, by characters (the degree sign is two bytes),
// leaving the last column free.
TEST(ProgressLine, OnANarrowTerminalTheLineIsCutToItsWidth) {
    std::ostringstream out;
    progress::Line line(&out, true, 12);
    line.show(
        "0:01  71 \xC2\xB0"
        "C  3.40 GHz");
    line.show("0:02  short");
    line.show("0:03  \xC2\xB0\xC2\xB0\xC2\xB0\xC2\xB0\xC2\xB0\xC2\xB0");
    EXPECT_EQ(out.str(),
              "\r0:01  71 \xC2\xB0"
              "C\r0:02  short\r0:03  \xC2\xB0\xC2\xB0\xC2\xB0\xC2\xB0\xC2\xB0");
}

// A message (a stall, a wrong frame) on the same terminal never lands on
// the redrawn line: the line is cleared first and drawn again after it.
TEST(ProgressLine, AMessageClearsTheRedrawnLineAndItIsDrawnAgainAfter) {
    std::ostringstream out;
    progress::Line line(&out, true);
    line.message(&out, "lumek: before any line\n");
    line.show("0:01  frames 10");
    line.message(&out, "lumek: stalled\n");
    line.finish();
    EXPECT_EQ(out.str(),
              "lumek: before any line\n\r0:01  frames 10\r               \rlumek: stalled\n"
              "\r0:01  frames 10\n");

    std::ostringstream plain, err;
    progress::Line lines(&plain, false);
    lines.show("0:10  frames 10");
    lines.message(&err, "lumek: stalled\n");
    EXPECT_EQ(plain.str(), "0:10  frames 10\n");
    EXPECT_EQ(err.str(), "lumek: stalled\n");
}

// The width is read again before every redraw: after the terminal was made
// narrower the line is cut to the new width, and the blanks that cover a
// longer line before never reach past it (they would wrap themselves).
TEST(ProgressLine, ATerminalMadeNarrowerGetsLinesThatFitIt) {
    std::ostringstream out;
    int columns = 30;
    progress::Line line(&out, true, columns);
    line.measureWith([&columns] { return columns; });
    line.show(std::string(40, 'a'));
    columns = 10;
    line.show(std::string(40, 'b'));
    line.show("cc");
    columns = 0;  // no longer told: the last width stays
    line.show(std::string(40, 'd'));
    EXPECT_EQ(out.str(), "\r" + std::string(29, 'a') + "\r" + std::string(9, 'b') + "\rcc" +
                             std::string(7, ' ') + "\r" + std::string(9, 'd'));
}

TEST(ProgressLine, ElsewhereEveryTextIsALineOfItsOwn) {
    std::ostringstream out;
    progress::Line line(&out, false);
    line.show("0:10  first");
    line.show("0:20  second\n  more");
    line.finish();
    EXPECT_EQ(out.str(), "0:10  first\n0:20  second\n  more\n");
    progress::Line none(nullptr, true);
    none.show("nowhere");  // no stream: nothing happens
    none.finish();
}

}  // namespace
}  // namespace lumek
