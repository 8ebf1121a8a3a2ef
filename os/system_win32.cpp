// The operating system on Windows: processor groups and the process
// affinity, console control events, the console check, descriptors and
// binary mode. Implements everything in system.h; there is no CPU quota to
// read, no broken-pipe signal (a write to a closed pipe fails) and no
// sibling program (the Windows program is one file).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>

#include "os/system.h"

namespace lumek::os {

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

int bits(DWORD_PTR mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

}  // namespace

int usableProcessors() {
    // A process starts in one processor group; unless its affinity was
    // narrowed (start /affinity), its threads may be placed in every group
    // (the thread starter does so), so all active processors count.
    DWORD_PTR processMask = 0, systemMask = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) {
        count = bits(processMask);
        if (processMask == systemMask) {
            const DWORD all = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
            if (static_cast<int>(all) > count) count = static_cast<int>(all);
        }
    }
    if (count == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        count = static_cast<int>(info.dwNumberOfProcessors);
    }
    return count > 0 ? count : 1;
}

void spreadThread(int index) {
    const WORD groups = GetActiveProcessorGroupCount();
    DWORD_PTR processMask = 0, systemMask = 0;
    if (groups <= 1 || !GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) ||
        processMask != systemMask)
        return;  // one group, or an affinity someone chose: leave it
    const DWORD all = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (all == 0) return;
    DWORD n = static_cast<DWORD>(index) % all;
    for (WORD g = 0; g < groups; ++g) {
        const DWORD inGroup = GetActiveProcessorCount(g);
        if (n < inGroup) {
            GROUP_AFFINITY affinity{};
            affinity.Group = g;
            affinity.Mask =
                inGroup >= 8 * sizeof(KAFFINITY) ? ~KAFFINITY(0) : (KAFFINITY(1) << inGroup) - 1;
            SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
            return;
        }
        n -= inGroup;
    }
}

void catchStopRequests() {
    // A Ctrl+C that the parent chose to ignore (inherited with
    // SetConsoleCtrlHandler(NULL, TRUE)) never reaches the handler.
    if (handledEvent == nullptr) handledEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopFlag.load(); }

void stopHandled() {
    if (handledEvent != nullptr) SetEvent(handledEvent);
}

void reserveStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1) continue;
        const int opened = _open("NUL", _O_RDONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
}

void ignoreBrokenPipe() {}

bool isTerminal(std::FILE* stream) {
    // _isatty is true for every character device, NUL among them; only a
    // console has a console mode.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

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

}  // namespace lumek::os
