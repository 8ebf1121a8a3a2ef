#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace lumek {
namespace {

Settings parse(const char* text) {
    Settings s;
    applyCommandLine(text, s);
    return s;
}

TEST(CommandLine, EmptyTextKeepsTheDefaults) {
    const Settings s = parse("");
    EXPECT_EQ(s.screenWidth, 640);
    EXPECT_EQ(s.screenHeight, 480);
    EXPECT_EQ(s.renderSize, 64);
    EXPECT_EQ(s.colourBits, 32);
    EXPECT_EQ(s.quadScale, 1.625f);
    EXPECT_TRUE(s.linearFiltering);
}

TEST(CommandLine, ScaleSwitchesMultiplyInSinglePrecision) {
    EXPECT_EQ(parse("-s1").quadScale, 1.21875f);
    EXPECT_EQ(parse("-s2").quadScale, 0.8125f);
    EXPECT_EQ(parse("-s3").quadScale, 1.625f * 0.33f);
    EXPECT_FLOAT_EQ(parse("-s3").quadScale, 0.536249995f);
    EXPECT_EQ(parse("-s4").quadScale, 0.40625f);
    EXPECT_EQ(parse("-s1 -s2").quadScale, 0.609375f);
    // Each product is stored as a float before the next row.
    const float all = ((1.625f * 0.75f) * 0.5f * 0.33f) * 0.25f;
    EXPECT_EQ(parse("-s4 -s3 -s2 -s1").quadScale, all);
    EXPECT_NEAR(all, 0.0502734, 1e-7);
}

TEST(CommandLine, ARowActsOnceHoweverOftenItsSwitchOccurs) {
    EXPECT_EQ(parse("-s2 -s2").quadScale, 0.8125f);
    EXPECT_EQ(parse("-b16 -b16").colourBits, 16);
}

TEST(CommandLine, TableOrderDecidesNotCommandLineOrder) {
    EXPECT_EQ(parse("-t5 -t1").renderSize, 512);
    EXPECT_EQ(parse("-t1 -t5").renderSize, 512);
    EXPECT_EQ(parse("-t4 -t1").renderSize, 256);
    const Settings r = parse("-r4 -r2");
    EXPECT_EQ(r.screenWidth, 800);
    EXPECT_EQ(r.screenHeight, 600);
    const Settings d = parse("-t2 -r3");
    EXPECT_EQ(d.renderSize, 64);
    EXPECT_EQ(d.screenWidth, 640);
    EXPECT_EQ(d.screenHeight, 480);
}

TEST(CommandLine, MatchingIsCaseSensitive) {
    const Settings s = parse("-T3 -B16 -R5 -I -S1");
    const Settings defaults;
    EXPECT_EQ(s.renderSize, defaults.renderSize);
    EXPECT_EQ(s.colourBits, defaults.colourBits);
    EXPECT_EQ(s.screenWidth, defaults.screenWidth);
    EXPECT_EQ(s.quadScale, defaults.quadScale);
    EXPECT_TRUE(s.linearFiltering);
}

TEST(CommandLine, SwitchesAreFoundInsideLongerText) {
    const Settings joined = parse("-t3-r4-s2");
    EXPECT_EQ(joined.renderSize, 128);
    EXPECT_EQ(joined.screenWidth, 800);
    EXPECT_EQ(joined.screenHeight, 600);
    EXPECT_EQ(joined.quadScale, 0.8125f);

    EXPECT_EQ(parse("-t10").renderSize, 32);
    EXPECT_EQ(parse("-s12").quadScale, 1.21875f);
    EXPECT_EQ(parse("-b160").colourBits, 16);
    EXPECT_EQ(parse("-r10").screenWidth, 320);
    EXPECT_EQ(parse("-r10").screenHeight, 240);
    EXPECT_FALSE(parse("-image").linearFiltering);
}

TEST(CommandLine, ModeSwitchesLeaveTheSettingsAlone) {
    const Settings s = parse("-bench -shot -shot1 -shot2 -shot3 -shot4 -shot5 -shot6 -shot7 "
                             "-shot8 -png --help");
    const Settings defaults;
    EXPECT_EQ(s.screenWidth, defaults.screenWidth);
    EXPECT_EQ(s.screenHeight, defaults.screenHeight);
    EXPECT_EQ(s.renderSize, defaults.renderSize);
    EXPECT_EQ(s.quadScale, defaults.quadScale);
    EXPECT_EQ(s.colourBits, defaults.colourBits);
    EXPECT_TRUE(s.linearFiltering);
}

TEST(ProgramName, BareNameAndTheBlanksAfterItAreSkipped) {
    EXPECT_STREQ(skipProgramName("lumek.exe -t3"), "-t3");
    EXPECT_STREQ(skipProgramName("lumek.exe \t  -t3 -r2"), "-t3 -r2");
    EXPECT_STREQ(skipProgramName(" \t lumek -bench"), "-bench");
    EXPECT_STREQ(skipProgramName("lumek"), "");
    EXPECT_STREQ(skipProgramName(""), "");
}

TEST(ProgramName, QuotedNameMaySpanBlanks) {
    EXPECT_STREQ(skipProgramName("\"C:\\My Games\\lumek.exe\" -shot2"), "-shot2");
    EXPECT_STREQ(skipProgramName("  \"a b\"\t-t1"), "-t1");
    // An unterminated quote swallows the whole text.
    EXPECT_STREQ(skipProgramName("\"C:\\dir -shot1\\lumek.exe -t3"), "");
}

TEST(ProgramName, ASwitchInsideTheProgramsPathIsNeverSeen) {
    Settings s;
    applyCommandLine(skipProgramName("\"C:\\demo -t5 -i\\lumek.exe\" -r1"), s);
    EXPECT_EQ(s.renderSize, 64);
    EXPECT_TRUE(s.linearFiltering);
    EXPECT_EQ(s.screenWidth, 320);

    Settings bare;
    applyCommandLine(skipProgramName("C:\\x-t5\\lumek.exe"), bare);
    EXPECT_EQ(bare.renderSize, 64);
}

TEST(ProgramName, ArgumentVectorsJoinWithSingleBlanksWithoutThePath) {
    const char* argv[] = {"/opt/-t5/lumek", "-t3", "-r4", "x y"};
    EXPECT_EQ(joinArguments(4, argv), "-t3 -r4 x y");
    EXPECT_EQ(joinArguments(1, argv), "");
}

}  // namespace
}  // namespace lumek
