// The operating system on Windows: processor groups and the process
// affinity, console control events, the console check, descriptors and
// binary mode. Implements everything in system.h; there is no CPU quota to
// read, no broken-pipe signal (a write to a closed pipe fails) and no
// sibling program (the Windows program is one file).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/machine.h"
#include "os/processors.h"
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

constexpr int kGroupWidth = 8 * sizeof(KAFFINITY);

// Every active processor of every group, as ids.
std::vector<int> allActive() {
    std::vector<int> ids;
    const WORD groups = GetActiveProcessorGroupCount();
    for (WORD g = 0; g < groups; ++g) {
        const DWORD count = GetActiveProcessorCount(g);
        for (DWORD n = 0; n < count && n < kGroupWidth; ++n)
            ids.push_back(g * kGroupWidth + static_cast<int>(n));
    }
    return ids;
}

}  // namespace

std::vector<int> affinityProcessors() {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) &&
        processMask != systemMask) {
        // Narrowed by someone: those of the thread's own group.
        GROUP_AFFINITY own{};
        GetThreadGroupAffinity(GetCurrentThread(), &own);
        std::vector<int> ids;
        for (int n = 0; n < kGroupWidth; ++n)
            if (processMask & (DWORD_PTR(1) << n)) ids.push_back(own.Group * kGroupWidth + n);
        return ids;
    }
    std::vector<int> ids = allActive();
    if (ids.empty()) ids.push_back(0);
    return ids;
}

Topology systemTopology() {
    Topology t;
    std::map<int, Processor> byId;
    for (int id : allActive()) byId[id].id = id;
    DWORD size = 0;
    GetLogicalProcessorInformationEx(RelationAll, nullptr, &size);
    std::vector<char> buffer(size);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    int cores = 0, packages = 0;
    if (size > 0 && GetLogicalProcessorInformationEx(RelationAll, first, &size)) {
        for (DWORD at = 0; at < size;) {
            auto* info =
                reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + at);
            const bool core = info->Relationship == RelationProcessorCore;
            const bool package = info->Relationship == RelationProcessorPackage;
            if (core || package) {
                const PROCESSOR_RELATIONSHIP& r = info->Processor;
                std::vector<int> members;
                for (WORD g = 0; g < r.GroupCount; ++g)
                    for (int n = 0; n < kGroupWidth; ++n)
                        if (r.GroupMask[g].Mask & (KAFFINITY(1) << n))
                            members.push_back(r.GroupMask[g].Group * kGroupWidth + n);
                for (size_t i = 0; i < members.size(); ++i) {
                    Processor& p = byId[members[i]];
                    p.id = members[i];
                    if (core) {
                        p.core = cores;
                        p.thread = static_cast<int>(i);
                        p.threadsInCore = static_cast<int>(members.size());
                        t.threadsPerCore =
                            std::max(t.threadsPerCore, static_cast<int>(members.size()));
                    } else {
                        p.package = packages;
                    }
                }
                (core ? cores : packages)++;
            }
            at += info->Size;
        }
    }
    for (const auto& [id, p] : byId) t.processors.push_back(p);
    t.online = static_cast<int>(t.processors.size());
    t.physicalCores = cores;
    t.packages = packages;
    return t;
}

bool pinThread(int processor) {
    if (processor < 0) return false;
    GROUP_AFFINITY affinity{};
    affinity.Group = static_cast<WORD>(processor / kGroupWidth);
    affinity.Mask = KAFFINITY(1) << (processor % kGroupWidth);
    return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) != 0;
}

bool stillPinnedTo(int processor) {
    GROUP_AFFINITY affinity{};
    if (processor < 0 || !GetThreadGroupAffinity(GetCurrentThread(), &affinity)) return true;
    return affinity.Group == static_cast<WORD>(processor / kGroupWidth) &&
           affinity.Mask == (KAFFINITY(1) << (processor % kGroupWidth));
}

int currentProcessor() {
    PROCESSOR_NUMBER number{};
    GetCurrentProcessorNumberEx(&number);
    return number.Group * kGroupWidth + number.Number;
}

int usableProcessors() {
    // A process starts in one processor group; unless its affinity was
    // narrowed (start /affinity), its threads may be placed in every group
    // (the thread starter does so), so all active processors count.
    return std::max(1, static_cast<int>(affinityProcessors().size()));
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

unsigned continuedCount() { return 0; }

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

int terminalColumns(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool replaceWithSibling(const char*, char**, std::string& error) {
    error = "the Windows program is one file";
    return false;
}

SystemName systemName() {
    SystemName name;
    name.name = "Windows";
    // GetVersionEx lies to programs without a manifest; the kernel's own
    // call does not.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    using WineVersion = const char*(CDECL*)();
    if (ntdll != nullptr) {
        if (auto get = reinterpret_cast<GetVersion>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
            OSVERSIONINFOW info{};
            info.dwOSVersionInfoSize = sizeof info;
            if (get(&info) == 0)
                name.version = std::to_string(info.dwMajorVersion) + "." +
                               std::to_string(info.dwMinorVersion) + "." +
                               std::to_string(info.dwBuildNumber);
        }
        // Only Wine's ntdll has this.
        if (auto wine = reinterpret_cast<WineVersion>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version"))))
            name.wine = wine();
    }
    return name;
}

bool wholeCommandLine(std::string& text) {
    text = GetCommandLineA();
    return true;
}

void useBinaryStdout() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::string hostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return "";
    return std::string(name, size);
}

}  // namespace lumek::os
