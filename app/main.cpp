// Start-up. Windows hands over the whole command line: the program's own
// name is skipped, so a switch inside its path is never seen. Elsewhere the
// text is the arguments after the program's path. The options that take a
// value are taken out first, from the arguments where there are any (a value
// may then hold blanks).
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
    const lumek::CommandLine line = lumek::os::wholeCommandLine(text)
                                        ? lumek::readCommandText(lumek::skipProgramName(text.c_str()))
                                        : lumek::readArguments(argc, argv);
    return lumek::os::finishStandardOutput(lumek::runProgram(line));
}
