// Start-up. Windows hands over the whole command line: the program's own
// name is skipped, so a switch inside its path is never seen. Elsewhere the
// text is the arguments after the program's path.
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/program.h"
#include "app/state.h"
#include "os/memory.h"
#include "os/output.h"
#include "os/system.h"

int main(int argc, char** argv) {
    lumek::os::reserveStandardStreams();
    if (!lumek::os::holdMemoryReserve()) {
        std::fputs("lumek: not enough memory to start\n", stderr);
        return 1;
    }
    lumek::os::watchStandardOutput();
    lumek::programArguments = argv;
    std::string text;
    if (lumek::os::wholeCommandLine(text))
        text = lumek::skipProgramName(text.c_str());
    else
        text = lumek::joinArguments(argc, argv);
    return lumek::os::finishStandardOutput(lumek::runProgram(text.c_str()));
}
