#include "os/output.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

#include "os/files.h"

#ifndef _WIN32
#include <poll.h>
#endif

namespace lumek::os {

namespace {

std::atomic<bool> failed{false};

// Says once, on stderr, why standard output failed.
void reportFailure(int error) {
    if (failed.exchange(true)) return;
    const std::string line =
        std::string("lumek: cannot write to standard output: ") + std::strerror(error) + "\n";
    (void)writeAll(2, line.data(), line.size());
}

// std::cout's buffer, written with the program's own writer. After a
// failure the rest is dropped; the stream is not put in a failed state, so
// that callers need no checks of their own.
class WatchedBuffer : public std::streambuf {
  public:
    WatchedBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }

  protected:
    int_type overflow(int_type c) override {
        std::lock_guard<std::mutex> lock(mutex_);
        drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override {
        std::lock_guard<std::mutex> lock(mutex_);
        drain();
        return 0;
    }

  private:
    void drain() {
        const size_t size = static_cast<size_t>(pptr() - pbase());
        if (size > 0 && !failed.load() && !writeAll(1, pbase(), size)) reportFailure(errno);
        setp(buffer_, buffer_ + sizeof buffer_);
    }

    char buffer_[16384];
    std::mutex mutex_;
};

}  // namespace

void watchStandardOutput() {
    // Never destroyed: std::cout is flushed at exit, after static objects.
    static WatchedBuffer* buffer = new WatchedBuffer;
    std::cout.flush();
    std::cout.rdbuf(buffer);
}

bool standardOutputFailed() { return failed.load(); }

bool standardOutputLost() {
    if (failed.load()) return true;
#ifndef _WIN32
    // No events asked for: poll() tells only of an error (a pipe without a
    // reader) or a hang-up, and does not wait.
    pollfd out{1, 0, 0};
    if (::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0) {
        reportFailure(EPIPE);
        return true;
    }
#endif
    return false;
}

int finishStandardOutput(int status) {
    std::cout.flush();
    return failed.load() && status == 0 ? 1 : status;
}

}  // namespace lumek::os
