// Run settings of the interactive demo and the command line that fills them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "util/switches.h"

namespace lumek {

struct Settings {
    int32_t screenWidth = 640;
    int32_t screenHeight = 480;
    int32_t renderSize = 64;
    float quadScale = 1.625f;
    bool linearFiltering = true;
    int32_t colourBits = 32;
};

// The values of the options that take one (util/switches.h), checked.
struct ValueOptions {
    std::optional<std::string> scene;       // --scene FILE
    std::optional<switches::PictureSize> size;        // --size WxH
    std::optional<double> time;             // --time T, seconds
    std::optional<std::string> output;      // --output NAME
    std::optional<switches::FrameRange> frames;       // --frames A-B
    std::optional<std::string> saveScenes;  // --save-scenes DIR
    std::optional<std::string> label;       // --label TEXT

    bool any() const {
        return scene || size || time || output || frames || saveScenes || label;
    }
};

// The command line with the options that take a value taken out: `text` is
// what is left for the switches; `error` (one line, without the program's
// name) is set when an option's value is missing or malformed, or an
// option is given twice.
struct CommandLine {
    std::string text;
    ValueOptions options;
    std::string error;
};

// From an argument vector (the arguments after the program's path): an
// argument that is exactly an option takes the next argument whole, blanks
// and all, as its value ("--size=WxH" in one argument works too); the
// others are joined by single blanks. A length given as the word after
// -stress or -cycle ("-stress 5m") is joined to its switch ("-stress5m").
CommandLine readArguments(int argc, const char* const* argv);

// From one text (Windows hands the program one; also the tests): an option
// is a word of its own, its value the next word, which may be quoted
// ("C:\My Scenes\a.json"; the quotes are not part of the value). Both
// are replaced by one blank in the text left for the switches.
CommandLine readCommandText(const std::string& text);

// Applies every setting switch found anywhere in `text` (plain, case-
// sensitive substring search, fixed table order, each row at most once).
void applyCommandLine(const char* text, Settings& settings);

// Skips the program's own name at the start of a whole command line (quoted
// up to its closing quote, else up to the next blank or tab) and the blanks
// and tabs around it, so a switch inside the program's path is never seen.
const char* skipProgramName(const char* commandLine);

// The command-line text on platforms that hand over an argument vector:
// the arguments after the program's path, joined by single blanks.
std::string joinArguments(int argc, const char* const* argv);

}  // namespace lumek
