// Run settings of the interactive demo and the command line that fills them.
#pragma once

#include <cstdint>
#include <string>

namespace lumek {

struct Settings {
    int32_t screenWidth = 640;
    int32_t screenHeight = 480;
    int32_t renderSize = 64;
    float quadScale = 1.625f;
    bool linearFiltering = true;
    int32_t colourBits = 32;
};

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
