// Child processes and a private X server, for tests that drive the real
// program on a virtual screen.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumek::test {

class ChildProcess {
  public:
    // `env` entries "NAME=value" set a variable, a bare "NAME" removes it.
    // The program starts with the stop signals at their defaults, but for
    // `ignoredSignals`, which it inherits as ignored.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& workingDir, const std::string& outPath,
                 const std::string& errPath, const std::vector<int>& ignoredSignals = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status once it has ended within `timeout` (-1 when killed by
    // a signal); nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    bool running();
    void kill();
    // Sends a signal to the program itself.
    void signal(int number);
    pid_t pid() const { return pid_; }
    // Once it has ended: the signal that ended it (0 if none), and the
    // processor time it used (user and system, all threads).
    int endedBySignal() const { return signalled_; }
    double cpuSeconds() const { return cpuSeconds_; }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    int signalled_ = 0;
    double cpuSeconds_ = 0;
};

// Runs `body` in a forked child that an alarm ends after `seconds`, so that
// a call that would wait for ever fails a test instead of hanging it: the
// child's exit status (body's result), or -1 when a signal ended it.
int statusInChild(const std::function<int()>& body, unsigned seconds = 60);

// Xvfb on a free display number of its own choosing.
class XvfbServer {
  public:
    XvfbServer(int width, int height, int depth);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return display_ >= 0; }
    std::string display() const { return ":" + std::to_string(display_); }

  private:
    pid_t pid_ = -1;
    int display_ = -1;
};

// Resident memory of a running process in KiB (0 if unknown).
long residentKiB(pid_t pid);

// Each thread of a running process (by thread id) and the processor it
// last ran on: field 39 of /proc/<pid>/task/<tid>/stat.
std::map<int, int> lastProcessors(pid_t pid);

// Each thread of a running process and the processors it may run on, its
// affinity: "Cpus_allowed_list" of /proc/<pid>/task/<tid>/status ("1",
// "0-3").
std::map<int, std::string> allowedProcessors(pid_t pid);

}  // namespace lumek::test
