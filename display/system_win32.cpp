// The operating system on Windows: the process affinity mask, console
// control events, the C runtime's terminal check and binary mode.
// Implements everything in system.h; there is no CPU quota to read.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>

#include "display/system.h"

namespace lumek::display {

namespace {

std::atomic<bool> stopFlag{false};
HANDLE handledEvent = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            stopFlag.store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Windows ends the process when this returns: give the program
            // the few seconds it allows to stop and say so.
            stopFlag.store(true);
            if (handledEvent != nullptr) WaitForSingleObject(handledEvent, 4000);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

int usableProcessors() {
    DWORD_PTR processMask = 0, systemMask = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask))
        for (; processMask != 0; processMask &= processMask - 1) ++count;
    if (count == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        count = static_cast<int>(info.dwNumberOfProcessors);
    }
    return count > 0 ? count : 1;
}

void catchStopRequests() {
    if (handledEvent == nullptr) handledEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopFlag.load(); }

void stopHandled() {
    if (handledEvent != nullptr) SetEvent(handledEvent);
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool replaceWithSibling(const char*, char**, std::string& error) {
    error = "the Windows program is one file";
    return false;
}

bool wholeCommandLine(std::string& text) {
    text = GetCommandLineA();
    return true;
}

void useBinaryStdout() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace lumek::display
