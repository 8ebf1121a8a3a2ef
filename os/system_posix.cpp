// The operating system on Linux and other POSIX systems: sched_getaffinity
// and the cgroup CPU quota, signals, descriptors, isatty, exec. Implements
// everything in system.h; binary standard output is a no-op (there is no
// text mode).
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "os/cgroup.h"
#include "os/machine.h"
#include "os/processors.h"
#include "os/system.h"

namespace lumek::os {

namespace {

std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onStopSignal(int) { stopFlag.store(true, std::memory_order_relaxed); }

std::atomic<unsigned> continued{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "set from a signal handler");

void onContinue(int) { continued.fetch_add(1, std::memory_order_relaxed); }

// Every processor the system has, as far as it tells without /sys.
std::vector<int> firstProcessors() {
    const unsigned n = std::thread::hardware_concurrency();
    std::vector<int> ids(n == 0 ? 1 : n);
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int>(i);
    return ids;
}

}  // namespace

std::vector<int> affinityProcessors() {
#ifdef __linux__
    // Sized for machines with more processors than cpu_set_t holds.
    for (int cpus = 1024; cpus <= (1 << 16); cpus *= 4) {
        cpu_set_t* set = CPU_ALLOC(cpus);
        if (set == nullptr) break;
        const size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set);
        const int result = sched_getaffinity(0, size, set);
        std::vector<int> ids;
        if (result == 0)
            for (int id = 0; id < cpus; ++id)
                if (CPU_ISSET_S(id, size, set)) ids.push_back(id);
        CPU_FREE(set);
        if (result == 0 && !ids.empty()) return ids;
        if (result != 0 && errno != EINVAL) break;
    }
#endif
    return firstProcessors();
}

Topology systemTopology() {
    Topology t = readLinuxTopology("");
    if (t.processors.empty()) {
        for (int id : firstProcessors()) {
            Processor p;
            p.id = id;
            t.processors.push_back(p);
        }
        t.online = static_cast<int>(t.processors.size());
    }
    return t;
}

bool pinThread(int processor) {
#ifdef __linux__
    if (processor < 0 || processor >= (1 << 16)) return false;
    cpu_set_t* set = CPU_ALLOC(processor + 1);
    if (set == nullptr) return false;
    const size_t size = CPU_ALLOC_SIZE(processor + 1);
    CPU_ZERO_S(size, set);
    CPU_SET_S(processor, size, set);
    const bool pinned = pthread_setaffinity_np(pthread_self(), size, set) == 0;
    CPU_FREE(set);
    return pinned;
#else
    (void)processor;
    return false;
#endif
}

bool stillPinnedTo(int processor) {
#ifdef __linux__
    // Large enough for the processors a kernel is usually built for; a
    // larger mask than that is not looked into.
    const int cpus = std::max(processor + 1, 1024);
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return true;
    const size_t size = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(size, set);
    bool pinned = true;
    if (pthread_getaffinity_np(pthread_self(), size, set) == 0)
        pinned = CPU_COUNT_S(size, set) == 1 && CPU_ISSET_S(processor, size, set);
    CPU_FREE(set);
    return pinned;
#else
    (void)processor;
    return true;
#endif
}

int currentProcessor() {
#ifdef __linux__
    return sched_getcpu();
#else
    return -1;
#endif
}

int usableProcessors() {
    int n = static_cast<int>(affinityProcessors().size());
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
    // Counted, so that time spent stopped is told from time run.
    struct sigaction resume {};
    resume.sa_handler = onContinue;
    sigemptyset(&resume.sa_mask);
    resume.sa_flags = SA_RESTART;
    sigaction(SIGCONT, &resume, nullptr);
}

unsigned continuedCount() { return continued.load(std::memory_order_relaxed); }

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

int terminalColumns(std::FILE* stream) {
    struct winsize size {};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void useBinaryStdout() {}

bool wholeCommandLine(std::string&) { return false; }

SystemName systemName() {
    SystemName name;
    struct utsname u {};
    if (uname(&u) == 0) {
        name.name = u.sysname;
        name.version = u.release;
    }
#ifdef __linux__
    name.distribution = readLinuxDistribution("");
#endif
    return name;
}

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

std::string hostName() {
    // POSIX leaves a name that fills the buffer unterminated.
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

}  // namespace lumek::os
