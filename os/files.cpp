#include "os/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#define LUMEK_OPEN_NEW(name) \
    ::_open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE)
#define LUMEK_OPEN_APPEND(name) \
    ::_open(name, _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE)
#define LUMEK_OPEN_READ(name) ::_open(name, _O_RDONLY | _O_BINARY)
#define LUMEK_READ ::_read
#define LUMEK_SEEK ::_lseeki64
#define LUMEK_WRITE ::_write
#define LUMEK_CLOSE ::_close
#define LUMEK_PID ::_getpid
#define LUMEK_SYNC(fd) ::_commit(fd)
#else
#include <limits.h>
#include <poll.h>
#include <unistd.h>
#define LUMEK_OPEN_NEW(name) ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664)
// Without blocking: opening a FIFO would wait for its other end.
#define LUMEK_OPEN_APPEND(name) \
    ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0664)
#define LUMEK_OPEN_READ(name) ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)
#define LUMEK_READ ::read
#define LUMEK_SEEK ::lseek
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
// set before the file is made, so that nothing that can fail stands
// between making the file and guarding it.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    ~TemporaryFile() {
        if (made_) std::remove(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void name(std::string name) { name_ = std::move(name); }
    const char* name() const { return name_.c_str(); }
    void made() { made_ = true; }
    void renamed() { made_ = false; }

  private:
    std::string name_;
    bool made_ = false;
};

// Sixteen hexadecimal digits that another process cannot foresee: a secret
// drawn once from the system's random source (and the clock and process
// id, should that fail), mixed with a count of the names made.
std::string unforeseeableSuffix() {
    static const uint64_t secret = [] {
        uint64_t value = static_cast<uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
        value ^= static_cast<uint64_t>(LUMEK_PID()) << 32;
        try {
            std::random_device device;
            value ^= (static_cast<uint64_t>(device()) << 32) ^ device();
        } catch (const std::bad_alloc&) {
            throw;  // said where memory runs out, as everywhere
        } catch (const std::exception&) {
            // no random source: the clock and the process id must do
        }
        return value;
    }();
    static std::atomic<uint64_t> counter{0};
    // splitmix64: every count gives another well-mixed value.
    uint64_t z = secret + 0x9e3779b97f4a7c15ull * (counter.fetch_add(1) + 1);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, z >>= 4) text[size_t(i)] = digits[z & 15];
    return text;
}

// Why a file of this mode is not one to read or append to; empty for a
// regular file.
std::string refusal(unsigned mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "";
        case S_IFDIR:
            return std::strerror(EISDIR);  // as the system has always said it
        case S_IFIFO:
            return "it is a FIFO, not a regular file";
        case S_IFCHR:
            return "it is a device, not a regular file";
#ifdef S_IFBLK
        case S_IFBLK:
            return "it is a device, not a regular file";
#endif
#ifdef S_IFSOCK
        case S_IFSOCK:
            return "it is a socket, not a regular file";
#endif
        default:
            return "it is not a regular file";
    }
}

// The refusal for an open descriptor.
std::string refusal(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::strerror(errno);
    return refusal(static_cast<unsigned>(status.st_mode));
}

#ifndef _WIN32
// The rename is an entry of the folder: until the folder reaches the disk,
// a crash can bring the old file back. Some file systems cannot flush a
// folder and say so; that is no failure of the write. Otherwise 0 or the
// error.
int syncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0) return 0;  // a folder that may not be read: nothing more can be done
    int result = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) result = errno;
    ::close(fd);
    return result;
}
#endif

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

std::string notRegularFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return "";
    return refusal(static_cast<unsigned>(status.st_mode));
}

FileReader::~FileReader() {
    if (fd_ >= 0) LUMEK_CLOSE(fd_);
}

bool FileReader::open(const std::string& path, std::string& error) {
    fd_ = LUMEK_OPEN_READ(path.c_str());
    if (fd_ < 0) {
        const int failure = errno;
        missing_ = failure == ENOENT;
        error = notRegularFile(path);
        if (error.empty()) error = std::strerror(failure);
        return false;
    }
    error = refusal(fd_);
    if (error.empty()) return true;
    LUMEK_CLOSE(fd_);
    fd_ = -1;
    return false;
}

long FileReader::read(char* buffer, size_t size) {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    const unsigned chunk = static_cast<unsigned>(size > kChunk ? kChunk : size);
    for (;;) {
        const auto got = LUMEK_READ(fd_, buffer, chunk);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

std::optional<char> FileReader::lastByte() {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || status.st_size <= 0) return std::nullopt;
    char byte = 0;
#ifdef _WIN32
    const auto position = LUMEK_SEEK(fd_, 0, SEEK_CUR);
    const bool got = position >= 0 && LUMEK_SEEK(fd_, status.st_size - 1, SEEK_SET) >= 0 &&
                     LUMEK_READ(fd_, &byte, 1) == 1;
    if (position >= 0) LUMEK_SEEK(fd_, position, SEEK_SET);
#else
    const bool got = ::pread(fd_, &byte, 1, status.st_size - 1) == 1;
#endif
    if (!got) return std::nullopt;
    return byte;
}

bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error) {
    // Renaming over a FIFO or device would take it away from whoever uses
    // it; over a folder it fails anyway.
    error = notRegularFile(path);
    if (!error.empty()) return false;
    TemporaryFile temporary;
    int fd = -1;
    // A name that is taken (left behind, or made by someone else) is
    // never used: another is tried.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary.name(path + ".tmp" + unforeseeableSuffix());
        fd = LUMEK_OPEN_NEW(temporary.name());
        if (fd < 0 && errno != EEXIST) break;
    }
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
#ifndef _WIN32
    // (On Windows the rename was written through.)
    if (const int failure = syncFolderOf(path); failure != 0) {
        error = std::string("the new file may not last: ") + std::strerror(failure);
        return false;
    }
#endif
    return true;
}

bool appendToFile(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = LUMEK_OPEN_APPEND(path.c_str());
    if (fd < 0) {
        const int failure = errno;
        error = notRegularFile(path);  // a FIFO without a reader, a folder
        if (error.empty()) error = std::strerror(failure);
        return false;
    }
    error = refusal(fd);
    if (!error.empty()) {
        LUMEK_CLOSE(fd);
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

std::string readSmallFile(const std::string& path, size_t limit) {
    FileReader file;
    std::string error;
    if (!file.open(path, error)) return "";
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const long got = file.read(buffer, std::min(sizeof buffer, limit - text.size()));
        if (got <= 0) break;
        text.append(buffer, size_t(got));
    }
    return text;
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
    std::string text = readSmallFile(path, 65536);
    const size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    return text;
}

std::optional<long long> readNumber(const std::string& path) {
    const std::string text = readSmallFile(path, 4096);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE) return std::nullopt;
    return value;
}

ReadResult readRegularFile(const std::string& path, uint64_t maxBytes, std::string& bytes,
                           std::string& error) {
    bytes.clear();
#ifdef _WIN32
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    // Without O_NONBLOCK opening a FIFO would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
    if (fd < 0) {
        const bool missing = errno == ENOENT;
        error = missing ? "no such file" : std::strerror(errno);
        return missing ? ReadResult::Missing : ReadResult::Failed;
    }
    struct Closer {
        int fd;
        ~Closer() { LUMEK_CLOSE(fd); }
    } closer{fd};
#ifdef _WIN32
    struct _stat64 info;
    const bool stated = ::_fstat64(fd, &info) == 0;
    const bool regular = stated && (info.st_mode & _S_IFMT) == _S_IFREG;
#else
    struct stat info;
    const bool stated = ::fstat(fd, &info) == 0;
    const bool regular = stated && S_ISREG(info.st_mode);
#endif
    if (!stated) {
        error = std::strerror(errno);
        return ReadResult::Failed;
    }
    if (!regular) {
        error = "not a regular file";
        return ReadResult::NotRegular;
    }
    auto tooLarge = [&](uint64_t size) {
        error = "the file is " + std::to_string(size) + " bytes, more than the " +
                std::to_string(maxBytes) + " it may hold";
        return ReadResult::TooLarge;
    };
    if (static_cast<uint64_t>(info.st_size) > maxBytes) return tooLarge(info.st_size);
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    char chunk[65536];
    for (;;) {
        // Reads past the size stat gave, in case the file grew since.
#ifdef _WIN32
        const int n = ::_read(fd, chunk, sizeof chunk);
#else
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            bytes.clear();
            return ReadResult::Failed;
        }
        if (n == 0) break;
        if (filled + static_cast<uint64_t>(n) > maxBytes) {
            bytes.clear();
            return tooLarge(filled + static_cast<uint64_t>(n));
        }
        if (bytes.size() < filled + n) bytes.resize(filled + n);
        std::memcpy(bytes.data() + filled, chunk, static_cast<size_t>(n));
        filled += static_cast<size_t>(n);
    }
    bytes.resize(filled);
    return ReadResult::Read;
}

}  // namespace lumek::os
