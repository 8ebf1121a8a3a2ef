#include "support/files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace lumek::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "lumek-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

FakeTree& FakeTree::put(const std::string& path, const std::string& content) {
    const fs::path full = dir_.path() + path;
    fs::create_directories(full.parent_path());
    writeFile(full.string(), content);
    return *this;
}

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string lumekCommand() {
    const std::string runner = LUMEK_RUNNER;
    return (runner.empty() ? "" : runner + " ") + shellQuote(LUMEK_EXE);
}

std::vector<std::string> lumekArgv(const std::vector<std::string>& args) {
    std::vector<std::string> argv;
    std::string word;
    for (char c : std::string(LUMEK_RUNNER)) {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            argv.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) argv.push_back(word);
    argv.push_back(LUMEK_EXE);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

ProcessResult runCommand(const std::string& command, const std::string& dir) {
    TempDir capture;
    const std::string outFile = capture.file("out"), errFile = capture.file("err");
    const std::string full = "cd " + shellQuote(dir) + " && { " + command + "; } </dev/null >" +
                             shellQuote(outFile) + " 2>" + shellQuote(errFile);
    const int raw = std::system(full.c_str());
    ProcessResult result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

}  // namespace lumek::test
