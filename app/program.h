// The program's entry: fills the settings and runs one of the three modes.
#pragma once

#include "app/command_line.h"

namespace lumek {

// Takes the command line after the program's own name (the options that
// take a value already taken out) and returns the process exit status.
int runProgram(const CommandLine& commandLine);

// The same for a whole text (the options with values are taken out here).
int runProgram(const char* commandText);

// The usage text printed by "--help".
const char* usageText();

}  // namespace lumek
