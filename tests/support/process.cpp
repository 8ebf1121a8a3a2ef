#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace lumek::test {

namespace {

int decodeStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& changes) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        if (eq == std::string::npos)
            vars.erase(change);
        else
            vars[change.substr(0, eq)] = change.substr(eq + 1);
    }
    std::vector<std::string> out;
    for (const auto& [k, v] : vars) out.push_back(k + "=" + v);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& workingDir,
                           const std::string& outPath, const std::string& errPath,
                           const std::vector<int>& ignoredSignals) {
    std::vector<std::string> args = argv;
    std::vector<std::string> vars = mergedEnvironment(env);
    std::vector<char*> argp = pointers(args), envp = pointers(vars);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        // What the test runner ignores (a shell's background job ignores
        // SIGINT) must not leak into the program under test.
        for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) ::signal(number, SIG_DFL);
        for (int number : ignoredSignals) ::signal(number, SIG_IGN);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (::chdir(workingDir.c_str()) != 0) ::_exit(126);
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() { kill(); }

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds timeout) {
    if (status_) return status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int raw = 0;
        struct rusage usage {};
        const pid_t r = ::wait4(pid_, &raw, WNOHANG, &usage);
        if (r == pid_) {
            status_ = decodeStatus(raw);
            signalled_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
            cpuSeconds_ =
                static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            return status_;
        }
        if (r < 0) return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void ChildProcess::signal(int number) {
    if (pid_ > 0 && !status_) ::kill(pid_, number);
}

bool ChildProcess::running() { return !waitFor(std::chrono::milliseconds(0)).has_value(); }

void ChildProcess::kill() {
    if (pid_ <= 0 || status_) return;
    ::kill(-pid_, SIGKILL);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    status_ = -1;
}

XvfbServer::XvfbServer(int width, int height, int depth) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen =
            std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = std::atoi(number.c_str());
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

namespace {

// The threads of a running process: their ids and /proc folders.
std::map<int, std::filesystem::path> tasks(pid_t pid) {
    std::map<int, std::filesystem::path> out;
    std::error_code ec;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        out[std::atoi(it->path().filename().c_str())] = it->path();
    return out;
}

}  // namespace

std::map<int, std::string> allowedProcessors(pid_t pid) {
    std::map<int, std::string> out;
    for (const auto& [tid, dir] : tasks(pid)) {
        std::ifstream in(dir / "status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("Cpus_allowed_list:", 0) == 0) {
                std::istringstream words(line.substr(18));
                words >> out[tid];
            }
    }
    return out;
}

std::map<int, int> lastProcessors(pid_t pid) {
    std::map<int, int> out;
    for (const auto& [tid, dir] : tasks(pid)) {
        std::ifstream in(dir / "stat");
        std::string stat;
        std::getline(in, stat);
        // The name in parentheses may hold blanks; field 3 follows the last
        // closing one.
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 1));
        std::string field;
        int number = 2;
        while (number < 39 && fields >> field) ++number;
        if (number == 39) out[tid] = std::atoi(field.c_str());
    }
    return out;
}

int statusInChild(const std::function<int()>& body, unsigned seconds) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace lumek::test
