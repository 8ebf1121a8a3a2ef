// The one file writer: whole-file replacement leaves nothing behind when it
// fails, appends from processes writing at once never mix, and a reader
// that goes away is an error, not the end of the process.
#include "os/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace lumek {
namespace {

using test::TempDir;

TEST(ReplaceFile, WritesTheWholeFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string error;
    test::writeFile(dir.file("a.raw"), std::string(5000, 'x'));
    ASSERT_TRUE(os::replaceFile(dir.file("a.raw"), "new", error)) << error;
    EXPECT_EQ(test::readFile(dir.file("a.raw")), "new");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.raw"});
}

TEST(ReplaceFile, AFailedRenameRemovesTheTemporaryFileAndKeepsTheTarget) {
    // A folder that is not empty cannot be replaced by a file.
    TempDir dir;
    std::filesystem::create_directory(dir.file("a.raw"));
    test::writeFile(dir.file("a.raw/inside"), "kept");
    std::string error;
    EXPECT_FALSE(os::replaceFile(dir.file("a.raw"), "new", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.raw"});
    EXPECT_EQ(test::readFile(dir.file("a.raw/inside")), "kept");

    EXPECT_FALSE(os::replaceFile(dir.file("missing/a.raw"), "new", error));
    EXPECT_EQ(error, "No such file or directory");
}

TEST(AppendToFile, ProcessesAppendingAtOnceNeverMixTheirEntries) {
    TempDir dir;
    const std::string path = dir.file("bench.txt");
    constexpr int kProcesses = 4, kEntries = 300;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string error;
            for (int e = 0; e < kEntries; ++e) {
                const std::string entry = "process " + std::to_string(p) + " entry " +
                                          std::to_string(e) + "\n" + std::string(200, 'a' + p) +
                                          "\n\n";
                if (!os::appendToFile(path, entry, error)) _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Every entry whole: its three lines together, in its process's order.
    std::istringstream in(test::readFile(path));
    std::vector<int> next(kProcesses, 0);
    std::string head, body, empty;
    int entries = 0;
    while (std::getline(in, head)) {
        ASSERT_TRUE(std::getline(in, body) && std::getline(in, empty)) << entries;
        int p = -1, e = -1;
        ASSERT_EQ(std::sscanf(head.c_str(), "process %d entry %d", &p, &e), 2) << head;
        ASSERT_TRUE(p >= 0 && p < kProcesses) << head;
        EXPECT_EQ(e, next[p]++) << head;
        EXPECT_EQ(body, std::string(200, 'a' + p)) << head;
        EXPECT_TRUE(empty.empty());
        ++entries;
    }
    EXPECT_EQ(entries, kProcesses * kEntries);
}

TEST(AppendToFile, AWriteCutShortIsReportedAndNeverCutBack) {
    // A file size limit cuts the write short as a full disk does; the child
    // holds the limit, so the test's own process keeps none.
    TempDir dir;
    const std::string path = dir.file("bench.txt");
    test::writeFile(path, "first\n");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{6 + 100, 6 + 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        std::string error;
        const bool ok = os::appendToFile(path, std::string(300, 'x') + "\n", error);
        _exit(!ok && error == "only 100 of 301 bytes could be written (the disk is full)" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    // Another process might have appended meanwhile: nothing is cut off.
    EXPECT_EQ(test::readFile(path), "first\n" + std::string(100, 'x'));
}

TEST(WriteAll, AReaderThatWentAwayIsAnErrorWhenTheSignalIsIgnored) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    errno = 0;
    EXPECT_FALSE(os::writeAll(fds[1], "abc", 3));
    EXPECT_EQ(errno, EPIPE);
    sigaction(SIGPIPE, &previous, nullptr);
    close(fds[1]);
}

TEST(WriteAll, WritesMoreThanAPipeHoldsThroughShortWrites) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string big(1 << 20, 'z');
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        _exit(os::writeAll(fds[1], big.data(), big.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string got;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) got.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, big);
}

// Whole regular files only, never more than asked for, and never waiting
// on a device or a pipe.
TEST(ReadRegularFile, ReadsWholeRegularFilesAndRefusesTheRest) {
    TempDir dir;
    std::string bytes, error;
    const std::string content(200000, 'q');  // more than one read
    test::writeFile(dir.file("a"), content);
    EXPECT_EQ(os::readRegularFile(dir.file("a"), content.size(), bytes, error),
              os::ReadResult::Read);
    EXPECT_TRUE(bytes == content);
    test::writeFile(dir.file("empty"), "");
    EXPECT_EQ(os::readRegularFile(dir.file("empty"), 10, bytes, error), os::ReadResult::Read);
    EXPECT_EQ(bytes, "");

    EXPECT_EQ(os::readRegularFile(dir.file("a"), content.size() - 1, bytes, error),
              os::ReadResult::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(error, "the file is 200000 bytes, more than the 199999 it may hold");
    EXPECT_EQ(os::readRegularFile(dir.file("none"), 10, bytes, error), os::ReadResult::Missing);
    EXPECT_EQ(error, "no such file");
    EXPECT_EQ(os::readRegularFile("/dev/zero", 10, bytes, error), os::ReadResult::NotRegular);
    EXPECT_EQ(os::readRegularFile(dir.path(), 10, bytes, error), os::ReadResult::NotRegular);
    EXPECT_EQ(error, "not a regular file");
}

}  // namespace
}  // namespace lumek
