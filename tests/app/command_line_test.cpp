#include "app/command_line.h"
#include "app/results.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

namespace lumek {
namespace {

CommandLine fromArguments(std::vector<const char*> args) {
    args.insert(args.begin(), "/usr/bin/lumek");
    return readArguments(static_cast<int>(args.size()), args.data());
}

TEST(ValueOptions, AValueIsTakenOutBeforeTheSwitchesAreLookedFor) {
    // A file name made of switches stays a file name.
    const CommandLine a = fromArguments({"--scene", "xmas-shot1-i.json", "-png"});
    EXPECT_TRUE(a.error.empty()) << a.error;
    EXPECT_EQ(a.text, "-png");
    EXPECT_EQ(a.options.scene, "xmas-shot1-i.json");
    Settings s;
    applyCommandLine(a.text.c_str(), s);
    EXPECT_TRUE(s.linearFiltering);

    const CommandLine t = readCommandText("-t3 --scene xmas-shot1-i.json -png --output b-t5.png");
    EXPECT_TRUE(t.error.empty()) << t.error;
    EXPECT_EQ(t.options.scene, "xmas-shot1-i.json");
    EXPECT_EQ(t.options.output, "b-t5.png");
    EXPECT_EQ(t.text.find("-shot1"), std::string::npos) << t.text;
    EXPECT_EQ(t.text.find("-t5"), std::string::npos) << t.text;
    EXPECT_NE(t.text.find("-t3"), std::string::npos) << t.text;
    EXPECT_NE(t.text.find("-png"), std::string::npos) << t.text;
}

// "-stress 5m": a length as the next word is joined to its switch, from an
// argument vector and from a whole text; other next words stay apart.
TEST(CommandLine, ALengthAsTheNextWordBelongsToItsSwitch) {
    EXPECT_EQ(fromArguments({"-stress", "5m"}).text, "-stress5m");
    EXPECT_EQ(fromArguments({"-t3", "-cycle", "90"}).text, "-t3 -cycle90");
    EXPECT_EQ(readCommandText("-stress   30s -t3").text, "-stress30s -t3");
    EXPECT_EQ(readCommandText("x-stress\t2h").text, "x-stress2h");
    EXPECT_EQ(readCommandText("-stress -t3 5").text, "-stress -t3 5");
    EXPECT_EQ(readCommandText("-stressed 5").text, "-stressed 5");
    EXPECT_EQ(readCommandText("-stress").text, "-stress");
    EXPECT_EQ(readCommandText("-stress ").text, "-stress ");
    const CommandLine joined = fromArguments({"-stress", "5m"});
    const switches::Length length =
        switches::lengthAfter(joined.text.c_str(), switches::kStress, 60);
    EXPECT_EQ(length.status, switches::Length::Valid);
    EXPECT_EQ(length.seconds, 300);
}

TEST(ValueOptions, ValuesMayHoldBlanksInAnArgumentOrInQuotes) {
    const CommandLine a = fromArguments({"-png", "--scene", "my scenes/a -bench.json"});
    EXPECT_EQ(a.options.scene, "my scenes/a -bench.json");
    EXPECT_EQ(a.text, "-png");
    const CommandLine t = readCommandText("-png --scene \"C:\\My -bench\\a.json\" -t2");
    EXPECT_EQ(t.options.scene, "C:\\My -bench\\a.json");
    EXPECT_EQ(t.text.find("-bench"), std::string::npos) << t.text;
    EXPECT_NE(t.text.find("-t2"), std::string::npos) << t.text;
    // The joined form, in an argument and in a text.
    EXPECT_EQ(fromArguments({"--size=40x30"}).options.size->width, 40);
    EXPECT_EQ(readCommandText("--output=\"a b.png\"").options.output, "a b.png");
}

TEST(ValueOptions, TheValuesAreCheckedAndRead) {
    const CommandLine ok =
        fromArguments({"--size", "1000x563", "--time", "2.5", "--frames", "100-119"});
    ASSERT_TRUE(ok.error.empty()) << ok.error;
    EXPECT_EQ(ok.options.size->width, 1000);
    EXPECT_EQ(ok.options.size->height, 563);
    EXPECT_EQ(*ok.options.time, 2.5);
    EXPECT_EQ(ok.options.frames->first, 100u);
    EXPECT_EQ(ok.options.frames->last, 119u);
    EXPECT_EQ(ok.text, "");
    EXPECT_EQ(fromArguments({"--size", "16384x1"}).options.size->width, 16384);
    EXPECT_EQ(fromArguments({"--frames", "0-0"}).options.frames->last, 0u);
    EXPECT_EQ(*fromArguments({"--time", "0"}).options.time, 0.0);

    // Each mistake is one line naming the option and what it takes.
    for (std::vector<const char*> bad :
         {std::vector<const char*>{"--size"}, {"--size", "0x10"}, {"--size", "16385x10"},
          {"--size", "10"}, {"--size", "10x10x"}, {"--size", "-10x10"}, {"--size", " 10x10"},
          {"--time", "-1"}, {"--time", "nan"}, {"--time", "inf"}, {"--time", "1e3"},
          {"--time", "2."}, {"--time", ".5"}, {"--frames", "5-4"}, {"--frames", "5"},
          {"--frames", "1-1000000000"}, {"--frames", "-3"}, {"--scene"}, {"--output", ""},
          {"--scene", "--size", "10x10"}, {"--save-scenes"}, {"--size", "1x1", "--size", "2x2"},
          {"--scene", "a", "--scene", "b"}, {"--output", "shots/"}, {"--output", ".."}}) {
        const CommandLine line = fromArguments(bad);
        EXPECT_FALSE(line.error.empty()) << bad[0];
        EXPECT_EQ(line.error.find('\n'), std::string::npos) << line.error;
        EXPECT_EQ(line.error.rfind(bad[0], 0), 0u) << line.error;
    }
    EXPECT_EQ(fromArguments({"--size", "0x10"}).error,
              "--size needs a size such as 1920x1080 (1 to 16384 each), not \"0x10\"");
    EXPECT_FALSE(readCommandText("-png --scene").error.empty());
    EXPECT_EQ(fromArguments({"--output", "shots/"}).error,
              "--output needs a file name (a folder is none), not \"shots/\"");
}

TEST(ValueOptions, OnlyWholeWordsAreOptions) {
    const CommandLine line = readCommandText("x--scene a --scenes b");
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_FALSE(line.options.scene.has_value());
    EXPECT_EQ(line.text, "x--scene a --scenes b");
}

// A label goes into records, terminal tables and web pages: printable
// UTF-8 of at most 100 bytes, and a refused one is not echoed.
TEST(ValueOptions, ALabelIsPrintableTextTakenOutOfTheLine) {
    const CommandLine a = fromArguments({"-bench", "--label", "B\xc3\xbcro -shot1 \"big\", box"});
    ASSERT_TRUE(a.error.empty()) << a.error;
    EXPECT_EQ(a.options.label, "B\xc3\xbcro -shot1 \"big\", box");
    EXPECT_EQ(a.text, "-bench");
    EXPECT_EQ(fromArguments({"--label", std::string(100, 'x').c_str()}).options.label->size(),
              100u);
    const std::string tooLong(101, 'x');
    for (const char* bad : {"\x1b[2J", "a\nb", "tab\there", "\x7f", tooLong.c_str(), "\xff",
                            "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc2\x85",
                            "cut \xe2\x82"}) {
        const CommandLine line = fromArguments({"-bench", "--label", bad});
        EXPECT_EQ(line.error, "--label needs printable text (UTF-8) of at most 100 bytes") << bad;
    }
    EXPECT_EQ(fromArguments({"--label", "a", "--label", "b"}).error, "--label is given twice");
    EXPECT_EQ(fromArguments({"-bench", "--label"}).error, "--label needs a name for the machine");
}

// The words after --results and --report: files, whatever switches they
// hold, but the switches of those modes themselves.
TEST(ResultFiles, EveryWordButTheResultsSwitchesIsAFile) {
    using Files = std::vector<std::string>;
    EXPECT_EQ(resultFiles("--results --csv a.jsonl old-bench.jsonl -i"),
              (Files{"a.jsonl", "old-bench.jsonl", "-i"}));
    EXPECT_EQ(resultFiles("--report"), Files{"bench.jsonl"});
    EXPECT_EQ(resultFiles("\t--markdown  \"C:\\My Results\\b.jsonl\" --results"),
              Files{"C:\\My Results\\b.jsonl"});
}

}  // namespace
}  // namespace lumek
