// Child processes and a private X server, for tests that drive the real
// program on a virtual screen.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace lumek::test {

class ChildProcess {
  public:
    // `env` entries "NAME=value" set a variable, a bare "NAME" removes it.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& workingDir, const std::string& outPath,
                 const std::string& errPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status once it has ended within `timeout` (-1 when killed by
    // a signal); nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    bool running();
    void kill();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

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

}  // namespace lumek::test
