// Linux start-up: the command-line text is the arguments after the
// program's path, so the path itself never triggers a switch.
#include <string>

#include "app/command_line.h"
#include "app/program.h"

int main(int argc, char** argv) {
    const std::string text = lumek::joinArguments(argc, argv);
    return lumek::runProgram(text.c_str());
}
