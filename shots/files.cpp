#include "shots/files.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#define LUMEK_OPEN(name) \
    ::_open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE)
#define LUMEK_WRITE ::_write
#define LUMEK_CLOSE ::_close
#define LUMEK_PID ::_getpid
#define LUMEK_SYNC(fd) ::_commit(fd)
#else
#include <unistd.h>
#define LUMEK_OPEN(name) ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664)
#define LUMEK_WRITE ::write
#define LUMEK_CLOSE ::close
#define LUMEK_PID ::getpid
#define LUMEK_SYNC(fd) ::fsync(fd)
#endif

namespace lumek {

namespace {

std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(LUMEK_PID()) + "." + std::to_string(counter++);
}

bool writeAll(int fd, const char* p, size_t left) {
    while (left > 0) {
        const unsigned chunk = left > (1u << 30) ? (1u << 30) : static_cast<unsigned>(left);
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
        left -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error) {
    const std::string temp = temporaryNameFor(path);
    const int fd = LUMEK_OPEN(temp.c_str());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, bytes, size) && LUMEK_SYNC(fd) == 0;
    int savedErrno = errno;
    if (LUMEK_CLOSE(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        error = std::strerror(savedErrno);
        std::remove(temp.c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        error = ec.message();
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace lumek
