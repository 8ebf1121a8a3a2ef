#include "bench/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>

#include "os/files.h"
#include "support/files.h"

namespace lumek {
namespace {

const LocalTime kNicholas{6, 12, 2026, 9, 5};

std::string entry(uint32_t renderMs, uint32_t cpuMs, LocalTime when = kNicholas) {
    return formatBenchReport(renderMs, cpuMs, when, "\n");
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BenchReport, TheExampleEntryByteForByte) {
    EXPECT_EQ(entry(640, 250),
              "Datum: 6.12.2026   Uhrzeit: 9:5\n"
              "Render Dauer: 640 ms   Rating: 52.9813 Tq7-Marks (=50 fps)\n"
              "CPUBench Dauer: 250 ms   Rating: 14.132 Tq7-Marks\n"
              "Ratingkoeffizient: 3.74903\n"
              "\n");
}

TEST(BenchReport, DatesAndTimesHaveNoPadding) {
    EXPECT_TRUE(contains(entry(640, 250, {1, 1, 2027, 0, 0}), "Datum: 1.1.2027   Uhrzeit: 0:0\n"));
    EXPECT_TRUE(
        contains(entry(640, 250, {31, 10, 1999, 23, 59}), "Datum: 31.10.1999   Uhrzeit: 23:59\n"));
}

TEST(BenchReport, RatingsAgainstTheReferenceDurations) {
    const std::string e = entry(33908, 3533);
    EXPECT_TRUE(contains(e, "Render Dauer: 33908 ms   Rating: 1 Tq7-Marks (=0.94373 fps)\n")) << e;
    EXPECT_TRUE(contains(e, "CPUBench Dauer: 3533 ms   Rating: 1 Tq7-Marks\n")) << e;
    EXPECT_TRUE(contains(e, "Ratingkoeffizient: 1\n")) << e;

    EXPECT_TRUE(contains(entry(1000, 250), "Rating: 33.908 Tq7-Marks (=32 fps)"));
    EXPECT_TRUE(contains(entry(3, 250), "Rating: 11302.7 Tq7-Marks (=10666.7 fps)"));
    EXPECT_TRUE(contains(entry(1000, 100), "Ratingkoeffizient: 0.959751\n"));

    const std::string slow = entry(123456, 1);
    EXPECT_TRUE(contains(slow, "Ratingkoeffizient: 7.77403e-05\n")) << slow;
    EXPECT_TRUE(contains(slow, "Rating: 0.274657 Tq7-Marks (=0.259202 fps)")) << slow;
    EXPECT_TRUE(contains(slow, "CPUBench Dauer: 1 ms   Rating: 3533 Tq7-Marks")) << slow;
}

TEST(BenchReport, ZeroDurationsGiveInfinityAndNaN) {
    const std::string noRender = entry(0, 250);
    EXPECT_TRUE(
        contains(noRender, "Render Dauer: 0 ms   Rating: Infinity Tq7-Marks (=Infinity fps)"));
    EXPECT_TRUE(contains(noRender, "Ratingkoeffizient: Infinity\n"));

    const std::string noCpu = entry(640, 0);
    EXPECT_TRUE(contains(noCpu, "CPUBench Dauer: 0 ms   Rating: Infinity Tq7-Marks\n"));
    EXPECT_TRUE(contains(noCpu, "Ratingkoeffizient: 0\n"));

    const std::string neither = entry(0, 0);
    EXPECT_TRUE(contains(neither, "Rating: Infinity Tq7-Marks (=Infinity fps)"));
    EXPECT_TRUE(contains(neither, "CPUBench Dauer: 0 ms   Rating: Infinity Tq7-Marks"));
    EXPECT_TRUE(contains(neither, "Ratingkoeffizient: -NaN\n")) << neither;
}

TEST(BenchReport, DurationsAreUnsigned) {
    EXPECT_TRUE(contains(entry(4294967295u, 4000000000u),
                         "Render Dauer: 4294967295 ms   Rating: 7.89482e-06 Tq7-Marks"));
    EXPECT_TRUE(contains(entry(640, 4000000000u), "CPUBench Dauer: 4000000000 ms"));
}

TEST(BenchReport, TheFileGetsThePlatformsTextLineEnding) {
    const std::string e = formatBenchReport(640, 250, kNicholas);
#ifdef _WIN32
    EXPECT_TRUE(contains(e, "Uhrzeit: 9:5\r\nRender"));
    EXPECT_EQ(e.substr(e.size() - 4), "\r\n\r\n");
#else
    EXPECT_EQ(e, entry(640, 250));
#endif
}

TEST(FormatGeneral, MatchesPercentGWithSixDigits) {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    char expected[64];
    for (int i = 0; i < 20000; ++i) {
        const double v = mantissa(gen) * std::pow(10.0, exponent(gen)) * (i % 3 == 0 ? -1 : 1);
        std::snprintf(expected, sizeof expected, "%g", v);
        ASSERT_EQ(formatGeneral(v), expected) << v;
    }
    for (double v : {0.0, 1.0, 100000.0, 999999.0, 999999.5, 1e6, 0.0001, 0.00009999995, 1e-5,
                     123456.7, 1e100, 1.5e-300, 5e-324}) {
        std::snprintf(expected, sizeof expected, "%g", v);
        EXPECT_EQ(formatGeneral(v), expected) << v;
    }
}

TEST(FormatGeneral, NonFiniteValuesFollowTheSignBit) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(formatGeneral(inf), "Infinity");
    EXPECT_EQ(formatGeneral(-inf), "-Infinity");
    EXPECT_EQ(formatGeneral(std::copysign(nan, 1.0)), "NaN");
    EXPECT_EQ(formatGeneral(std::copysign(nan, -1.0)), "-NaN");
}

TEST(BenchReportFile, EntriesAreAppendedOldestFirst) {
    test::TempDir dir;
    const std::string path = dir.file("bench.txt");
    std::string error;
    ASSERT_TRUE(os::appendToFile(path, entry(640, 250), error)) << error;
    ASSERT_TRUE(os::appendToFile(path, entry(1000, 100), error)) << error;
    EXPECT_EQ(test::readFile(path), entry(640, 250) + entry(1000, 100));
}

TEST(BenchReportFile, AFileWithoutAFinalLineBreakIsContinuedDirectly) {
    test::TempDir dir;
    const std::string path = dir.file("bench.txt");
    test::writeFile(path, "older notes");
    std::string error;
    ASSERT_TRUE(os::appendToFile(path, entry(640, 250), error)) << error;
    EXPECT_EQ(test::readFile(path), "older notes" + entry(640, 250));
}

TEST(BenchReportFile, AnUnwritableFileIsReportedWithTheReason) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("bench.txt"));
    std::string error;
    EXPECT_FALSE(os::appendToFile(dir.file("bench.txt"), entry(640, 250), error));
    EXPECT_EQ(error, "Is a directory");
}

}  // namespace
}  // namespace lumek
