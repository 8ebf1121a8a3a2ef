#include "os/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#define LUMEK_OPEN_NEW(name) \
    ::_open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE)
#define LUMEK_OPEN_APPEND(name) \
    ::_open(name, _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE)
#define LUMEK_WRITE ::_write
#define LUMEK_CLOSE ::_close
#define LUMEK_PID ::_getpid
#define LUMEK_SYNC(fd) ::_commit(fd)
#else
#include <limits.h>
#include <poll.h>
#include <unistd.h>
#define LUMEK_OPEN_NEW(name) ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664)
#define LUMEK_OPEN_APPEND(name) ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0664)
#define LUMEK_WRITE ::write
#define LUMEK_CLOSE ::close
#define LUMEK_PID ::getpid
#define LUMEK_SYNC(fd) ::fsync(fd)
#endif

namespace lumek::os {

namespace {

// Largest single write: Windows takes an unsigned count.
constexpr size_t kChunk = size_t(1) << 30;

// Renames over an existing file on every platform.
bool renameOver(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(from, to) == 0;
#endif
}

std::string lastError() {
#ifdef _WIN32
    char text[256] = "";
    const DWORD code = GetLastError();
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr) == 0)
        return "Windows error " + std::to_string(code);
    std::string message = text;
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
#else
    return std::strerror(errno);
#endif
}

// Removes the temporary file once it was made, unless it was renamed,
// whichever way the writer leaves (an exception included). Its name is
// made first, so that nothing that can fail stands between making the file
// and guarding it.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
    ~TemporaryFile() {
        if (made_) std::remove(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const char* name() const { return name_.c_str(); }
    void made() { made_ = true; }
    void renamed() { made_ = false; }

  private:
    std::string name_;
    bool made_ = false;
};

}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(size > kChunk ? kChunk : size);
        const auto written = LUMEK_WRITE(fd, p, chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        p += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error) {
    static std::atomic<unsigned> counter{0};
    TemporaryFile temporary(path + ".tmp" + std::to_string(LUMEK_PID()) + "." +
                            std::to_string(counter++));
    const int fd = LUMEK_OPEN_NEW(temporary.name());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    temporary.made();
    bool ok = writeAll(fd, bytes, size) && LUMEK_SYNC(fd) == 0;
    int failure = errno;
    if (LUMEK_CLOSE(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        error = std::strerror(failure);
        return false;
    }
    if (!renameOver(temporary.name(), path.c_str())) {
        error = lastError();
        return false;
    }
    temporary.renamed();
    return true;
}

bool appendToFile(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = LUMEK_OPEN_APPEND(path.c_str());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    auto written = LUMEK_WRITE(fd, bytes.data(), static_cast<unsigned>(bytes.size()));
    while (written < 0 && errno == EINTR)  // nothing was written: try again
        written = LUMEK_WRITE(fd, bytes.data(), static_cast<unsigned>(bytes.size()));
    bool ok = written >= 0 && static_cast<size_t>(written) == bytes.size();
    if (written < 0)
        error = std::strerror(errno);
    else if (!ok)
        error = "only " + std::to_string(written) + " of " + std::to_string(bytes.size()) +
                " bytes could be written (the disk is full)";
    if (LUMEK_CLOSE(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

bool writeToStandardOutput(const void* data, size_t size, std::string& error) {
    if (writeAll(1, data, size)) return true;
    error = std::strerror(errno);
    return false;
}

bool writeToStandardOutputUnlessStopped(const void* data, size_t size, bool (*stopped)(),
                                        size_t& written, std::string& error) {
    written = 0;
#ifdef _WIN32
    // A console's or pipe's write cannot be waited on here: whole writes.
    (void)stopped;
    if (!writeAll(1, data, size)) {
        error = std::strerror(errno);
        return false;
    }
    written = size;
    return true;
#else
    // A write to a pipe whose reader does not read blocks until it reads,
    // and the stop signals restart it. So each piece is written only once
    // poll() says there is room, and a piece of PIPE_BUF bytes then fits
    // without blocking; between the waits the stop request is looked at.
    // A file or a device takes every write at once: no waiting, no pieces.
    struct stat kind {};
    if (::fstat(1, &kind) == 0 && !S_ISFIFO(kind.st_mode) && !S_ISSOCK(kind.st_mode)) {
        if (!writeAll(1, data, size)) {
            error = std::strerror(errno);
            return false;
        }
        written = size;
        return true;
    }
    const char* p = static_cast<const char*>(data);
    std::chrono::steady_clock::time_point stopSeen{};
    bool stopping = false;
    while (written < size) {
        if (!stopping && stopped()) {
            stopping = true;
            stopSeen = std::chrono::steady_clock::now();
        }
        if (stopping && std::chrono::steady_clock::now() - stopSeen > std::chrono::milliseconds(250)) {
            error = "stopped";
            return false;
        }
        pollfd out{1, POLLOUT, 0};
        const int ready = ::poll(&out, 1, stopping ? 20 : 50);
        if (ready < 0 && errno != EINTR) {
            error = std::strerror(errno);
            return false;
        }
        if (ready == 0 && stopping) {
            error = "stopped";
            return false;
        }
        if (ready <= 0) continue;
        // Errors and hang-ups too: the write says which.
        const size_t piece = std::min<size_t>(size - written, PIPE_BUF);
        const ssize_t n = ::write(1, p + written, piece);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            error = std::strerror(errno);
            return false;
        }
        if (n == 0) {
            error = std::strerror(ENOSPC);
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
#endif
}

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::optional<long long> readNumber(const std::string& path) {
    std::ifstream in(path);
    long long value = 0;
    if (!(in >> value)) return std::nullopt;
    return value;
}

}  // namespace lumek::os
