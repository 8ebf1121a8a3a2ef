// Every switch of the command line, in one place: the modes in the order
// the entry offers them the text, the modes' options, the show's settings
// and the two informational switches. A switch is found as a plain,
// case-sensitive substring anywhere in the text, so no switch may contain
// another (but "-shot", which every "-shot1" ... "-shot8" contains by
// design); everySwitch() lets a test check that.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumek::switches {

// Modes, in the order they are offered the text (the show runs without one).
inline constexpr const char* kBench = "-bench";
inline constexpr const char* kStress = "-stress";
inline constexpr const char* kCycle = "-cycle";
inline constexpr const char* kShot = "-shot";
inline constexpr const char* kRecord = "-record";

// Options of the modes.
inline constexpr const char* kJson = "-json";  // -bench: the result record on stdout
inline constexpr const char* kPng = "-png";    // -shot: a PNG beside each raw file

// Earlier benchmark results: a table on stdout, or a page of charts.
inline constexpr const char* kResults = "--results";
inline constexpr const char* kReport = "--report";
inline constexpr const char* kCsv = "--csv";            // --results: as CSV
inline constexpr const char* kMarkdown = "--markdown";  // --results: as Markdown

// Options followed by a value (the next word): the option and its value
// are taken out of the text before any switch is looked for, so a value
// such as a file name "xmas-shot1-i.json" never counts as switches.
inline constexpr const char* kScene = "--scene";              // a scene file
inline constexpr const char* kSize = "--size";                // WxH, 1 to 16384 each
inline constexpr const char* kTime = "--time";                // seconds into the animation
inline constexpr const char* kOutput = "--output";            // the picture's file name
inline constexpr const char* kFrames = "--frames";            // A-B, a range of video frames
inline constexpr const char* kSaveScenes = "--save-scenes";   // a folder
inline constexpr const char* kLabel = "--label";              // -bench: the machine's name
inline constexpr const char* kValueOptions[7] = {kScene,  kSize,   kTime,       kOutput,
                                                 kFrames, kSaveScenes, kLabel};

// The values of --size and --frames.
struct PictureSize {
    int32_t width = 0;
    int32_t height = 0;
};
struct FrameRange {  // both ends included, counted from 0
    uint32_t first = 0;
    uint32_t last = 0;
};

// A scene file's report, without writing anything.
inline constexpr const char* kCheck = "--check";

inline constexpr const char* kHelp = "--help";
inline constexpr const char* kVersion = "--version";

// The screenshot rows' switches, rows 1 to 8.
inline constexpr const char* kShotRows[8] = {"-shot1", "-shot2", "-shot3", "-shot4",
                                             "-shot5", "-shot6", "-shot7", "-shot8"};

// The render sizes, in table order: among several the last row wins.
struct RenderSizeRow {
    const char* text;
    int size;
};
inline constexpr RenderSizeRow kRenderSizes[5] = {
    {"-t1", 32}, {"-t2", 64}, {"-t3", 128}, {"-t4", 256}, {"-t5", 512}};

// Whether the text holds the switch anywhere.
bool asks(const char* text, const char* switchText);

// The render size the text chooses (the last of kRenderSizes it holds), or
// `fallback`.
int renderSize(const char* text, int fallback);

// The longest length -stress and -cycle take: 999999999 seconds (31 years).
inline constexpr int64_t kLongestLengthSeconds = 999999999;

// A length written directly after a switch: 1 to 9 digits (leading zeros
// aside, not 0) and an optional unit, s, m or h ("-stress30s", "-cycle2m");
// a bare number counts `bareUnitSeconds` each; at most
// kLongestLengthSeconds. Only the switch's first place with text joined to
// it is read (not the end of the word, nor the next switch, "-stress-t3");
// the unit must end the word or be followed by another switch
// ("-stress2h-t3"). Anything else joined to it ("-stressx", "-stress-5",
// "-stress=5") is Invalid; a second place with a length joined to it is
// Twice.
struct Length {
    enum Status { None, Valid, Invalid, Twice };
    Status status = None;
    int64_t seconds = 0;  // Valid
    std::string word;     // Invalid, Twice: the (first) word as written, for the report
    std::string hint;     // Invalid: what was probably meant ("-stress5"); Twice: the second word
};
Length lengthAfter(const char* text, const char* switchText, int64_t bareUnitSeconds);

// Words that ask for the help only as a word of their own: "-h" is inside
// "--help", so it cannot be looked for as a substring.
inline constexpr const char* kHelpWords[2] = {"-h", "-help"};
bool hasHelpWord(const char* text);

// The words of the text (split at blanks and tabs, quotes dropped) that hold
// no switch at all and are no help word.
std::vector<std::string> unknownWords(const char* text);

// The switch closest to what `word` was probably meant to be.
std::string nearestSwitch(const std::string& word);

// Every switch: the settings, the modes, their options, the rows of
// "-shot", the informational ones and the options that take a value.
const std::vector<std::string>& everySwitch();

}  // namespace lumek::switches
