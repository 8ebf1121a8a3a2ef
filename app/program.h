// The program's entry: fills the settings and runs one of the three modes.
#pragma once

namespace lumek {

// Takes the command-line text after the program's own name and returns the
// process exit status.
int runProgram(const char* commandLine);

// The usage text printed by "--help".
const char* usageText();

}  // namespace lumek
