// Start-up. Windows hands over the whole command line: the program's own
// name is skipped, so a switch inside its path is never seen. Elsewhere the
// text is the arguments after the program's path.
#include <string>

#include "app/command_line.h"
#include "app/program.h"
#include "app/state.h"
#include "display/system.h"

int main(int argc, char** argv) {
    lumek::programArguments = argv;
    std::string text;
    if (lumek::display::wholeCommandLine(text))
        text = lumek::skipProgramName(text.c_str());
    else
        text = lumek::joinArguments(argc, argv);
    return lumek::runProgram(text.c_str());
}
