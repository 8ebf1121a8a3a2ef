// The operating system's services that the modes need, none of them a
// window: how many processors this process may use, requests to stop
// (Ctrl+C and its relatives), the standard streams, and starting the show's
// own program. One file per platform: system_posix.cpp (Linux and other
// POSIX systems), system_win32.cpp (Windows); the web page has none of it.
#pragma once

#include <cstdio>
#include <string>

namespace lumek::os {

// The processors this process may run on at once (at least 1): the
// affinity mask, and on Linux the cgroup CPU quota, not every processor
// the machine has. On Windows every processor group counts.
int usableProcessors();

// Called by every thread the program starts, the index-th of its group:
// on Windows, where a process starts in one processor group, it puts the
// thread in the group of the index-th processor, so that machines with
// more than 64 logical processors are used whole; elsewhere nothing.
void spreadThread(int index);

// From now on Ctrl+C, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and
// closing the console) only set the stop request; the program ends itself.
// A signal that the parent left ignored (nohup, a shell's background job)
// stays ignored.
void catchStopRequests();
bool stopRequested();
// How often the process was continued after being stopped (SIGSTOP or
// Ctrl+Z, then SIGCONT), counted from catchStopRequests() on; always 0
// where processes are not stopped so (Windows).
unsigned continuedCount();
// Tells a console that is being closed (Windows) that the program has said
// what it had to say and may go.
void stopHandled();

// Makes sure descriptors 0, 1 and 2 are open before any file is, so that a
// file never gets the number of a closed standard stream and receives what
// was meant for it. A closed standard output stays unwritable: writing to
// it fails and is reported.
void reserveStandardStreams();

// Writing to a reader that has gone away fails with an error (reported and
// counted) instead of ending the process, so that files in progress are
// finished and nothing is left half-made.
void ignoreBrokenPipe();

// A terminal (a console on Windows; the NUL device is none).
bool isTerminal(std::FILE* stream);
// The width of the terminal (console window) the stream writes to, in
// characters; 0 when it is none or does not tell.
int terminalColumns(std::FILE* stream);

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

// This machine's network name ("" when the system does not tell): the
// benchmark's default label, to tell machines with one processor model
// apart.
std::string hostName();

}  // namespace lumek::os
