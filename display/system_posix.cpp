// The operating system on Linux and other POSIX systems: sched_getaffinity
// and the cgroup CPU quota, signals, isatty. Implements everything in
// system.h; binary standard output is a no-op (there is no text mode).
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "display/system.h"

namespace lumek::display {

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

// A cgroup's limit as whole processors (rounded up), or 0 for none.
int quotaFromCpuMax(const std::string& path) {
    std::ifstream in(path);
    std::string quota;
    long long period = 0;
    if (!(in >> quota >> period) || quota == "max" || period <= 0) return 0;
    const long long q = std::atoll(quota.c_str());
    if (q <= 0) return 0;
    return static_cast<int>((q + period - 1) / period);
}

int quotaFromCfs(const std::string& dir) {
    std::ifstream q(dir + "/cpu.cfs_quota_us"), p(dir + "/cpu.cfs_period_us");
    long long quota = 0, period = 0;
    if (!(q >> quota) || !(p >> period) || quota <= 0 || period <= 0) return 0;
    return static_cast<int>((quota + period - 1) / period);
}

// The tightest CPU quota of this process's cgroup and its parents (cgroup
// v2), or of its cpu controller's group (v1); 0 when there is none.
int cgroupQuota() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    int best = 0;
    auto take = [&best](int q) {
        if (q > 0 && (best == 0 || q < best)) best = q;
    };
    while (std::getline(in, line)) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            // v2: every level of the hierarchy may set a limit.
            for (;;) {
                take(quotaFromCpuMax("/sys/fs/cgroup" + path + "/cpu.max"));
                if (path.empty() || path == "/") break;
                path = path.substr(0, path.rfind('/'));
            }
        } else if (controllers.find("cpu") != std::string::npos) {
            for (const char* root : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpu"}) {
                take(quotaFromCfs(root + path));
                take(quotaFromCfs(root));
            }
        }
    }
    return best;
}

}  // namespace

int usableProcessors() {
    int n = affinityCount();
    const int quota = cgroupQuota();
    if (quota > 0) n = std::min(n, quota);
    return std::max(n, 1);
}

void catchStopRequests() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a write in progress completes
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool stopRequested() { return stopFlag.load(std::memory_order_relaxed); }

void stopHandled() {}

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

}  // namespace lumek::display
