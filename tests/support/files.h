// Temporary folders, working-directory switches, file reading and running
// the built program, for tests that look at what lands on disk.
#pragma once

#include <string>
#include <vector>

namespace lumek::test {

// A fresh empty folder, removed with everything in it at the end of scope.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries, sorted.
    std::vector<std::string> entries() const;

  private:
    std::string path_;
};

// A fake root for the readers of /proc and /sys: files put at absolute
// paths land below a temporary folder, whose path is the reader's root.
class FakeTree {
  public:
    // Writes `content` at `path` ("/proc/self/cgroup"), making its folders.
    FakeTree& put(const std::string& path, const std::string& content);
    const std::string& root() const { return dir_.path(); }

  private:
    TempDir dir_;
};

// Makes `dir` the working directory until the end of scope.
class ScopedWorkingDir {
  public:
    explicit ScopedWorkingDir(const std::string& dir);
    ~ScopedWorkingDir();
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

  private:
    std::string previous_;
};

std::string readFile(const std::string& path);
// The text's lines, without their line ends.
std::vector<std::string> lines(const std::string& text);
void writeFile(const std::string& path, const std::string& bytes);

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `command` through the shell in `dir`, with stdin closed.
ProcessResult runCommand(const std::string& command, const std::string& dir);

// Quotes a word for the shell.
std::string shellQuote(const std::string& word);

// The built program as a shell command, and as the start of an argument
// vector: behind the emulator in cross builds.
std::string lumekCommand();
std::vector<std::string> lumekArgv(const std::vector<std::string>& args);

}  // namespace lumek::test
