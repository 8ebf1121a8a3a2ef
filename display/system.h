// The operating system's side of the platform layer, for the modes that need
// no window: how many processors this process may use, requests to stop
// (Ctrl+C and its relatives), whether a stream is a terminal, binary
// standard output. One file per platform: system_posix.cpp (Linux and other
// POSIX systems), system_win32.cpp (Windows); the web page has none of it.
#pragma once

#include <cstdio>
#include <string>

namespace lumek::display {

// The processors this process may run on at once (at least 1): the
// affinity mask, and on Linux the cgroup CPU quota, not every processor
// the machine has.
int usableProcessors();

// From now on Ctrl+C, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and
// closing the console) only set the stop request; the program ends itself.
void catchStopRequests();
bool stopRequested();
// Tells a console that is being closed (Windows) that the program has said
// what it had to say and may go.
void stopHandled();

bool isTerminal(std::FILE* stream);

// Standard output carries bytes, not text (no line-end translation).
void useBinaryStdout();

// Replaces this process by the program `name` in this program's own folder,
// with the same arguments (argv[0] becomes its path). Returns only when
// that failed, with the reason.
bool replaceWithSibling(const char* name, char** argv, std::string& error);

// The process's whole command line, program name included, where the
// platform hands one over (Windows); false where it hands over an argument
// vector instead.
bool wholeCommandLine(std::string& text);

}  // namespace lumek::display
