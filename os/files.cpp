#include "os/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
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
