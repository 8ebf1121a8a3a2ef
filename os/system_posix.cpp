// The operating system on Linux and other POSIX systems: sched_getaffinity
// and the cgroup CPU quota, signals, descriptors, isatty, exec. Implements
// everything in system.h; binary standard output is a no-op (there is no
// text mode).
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "os/cgroup.h"
#include "os/system.h"

namespace lumek::os {

namespace {

std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onStopSignal(int) { stopFlag.store(true, std::memory_order_relaxed); }

int affinityCount() {
#ifdef __linux__
    // Sized for machines with more processors than cpu_set_t holds.
    for (int cpus = 1024; cpus <= (1 << 16); cpus *= 4) {
        cpu_set_t* set = CPU_ALLOC(cpus);
        if (set == nullptr) break;
        const size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set);
        const int result = sched_getaffinity(0, size, set);
        const int count = result == 0 ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (result == 0) return count;
        if (errno != EINVAL) break;
    }
#endif
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace

int usableProcessors() {
    int n = affinityCount();
    const int limit = cgroupCpuLimit("");
    if (limit > 0) n = std::min(n, limit);
    return std::max(n, 1);
}

void spreadThread(int) {}

void catchStopRequests() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a write in progress completes
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;  // nohup, or a shell's background job: the parent's choice
        sigaction(signal, &action, nullptr);
    }
}

bool stopRequested() { return stopFlag.load(std::memory_order_relaxed); }

void stopHandled() {}

void reserveStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Read-only, so that writes to a closed output still fail.
        const int opened = open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

void ignoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void useBinaryStdout() {}

bool wholeCommandLine(std::string&) { return false; }

bool replaceWithSibling(const char* name, char** argv, std::string& error) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        error = std::string("cannot find this program's folder: ") + std::strerror(errno);
        return false;
    }
    std::string path(self, static_cast<size_t>(length));
    path = path.substr(0, path.rfind('/') + 1) + name;
    std::vector<char*> args;
    args.push_back(path.data());
    for (char** a = argv + 1; *a != nullptr; ++a) args.push_back(*a);
    args.push_back(nullptr);
    execv(path.c_str(), args.data());
    error = path + ": " + std::strerror(errno);
    return false;
}

}  // namespace lumek::os
