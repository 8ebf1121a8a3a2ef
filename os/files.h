// Every file the program writes goes through here: whole-file replacement
// for pictures, one appending write for report entries, and the loop that
// writes a buffer to a descriptor whole; and the small files of /proc and
// /sys are read through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lumek::os {

// Writes all `size` bytes to descriptor `fd`, going on after short writes
// and interrupted calls. False (with errno set) when the descriptor refuses
// more.
bool writeAll(int fd, const void* data, size_t size);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so `path` holds either its old content or the
// whole new one. On failure the temporary file is removed and `error` says
// why.
bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error);
inline bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    return replaceFile(path, bytes.data(), bytes.size(), error);
}

// Appends `bytes` to `path` (made if missing, mode 0664) with one write at
// the file's end, so that entries from processes writing at the same time
// never mix. The file is never truncated: a write the disk cut short is
// reported, not undone, since another process may have appended since;
// the next append continues the file where it ends, as any append does.
bool appendToFile(const std::string& path, const std::string& bytes, std::string& error);

// Writes to the standard output descriptor directly (binary on Windows once
// asked for), without the C library's buffer: when this returns true the
// bytes have reached the output.
bool writeToStandardOutput(const void* data, size_t size, std::string& error);

// The first line of a small text file, without its line end; empty when
// the file cannot be read.
std::string readFirstLine(const std::string& path);

// The whole number a small text file starts with; nothing when the file
// cannot be read or starts with none.
std::optional<long long> readNumber(const std::string& path);

enum class ReadResult { Read, Missing, NotRegular, TooLarge, Failed };

// Reads the whole regular file at `path` into `bytes`. Anything else (a
// directory, a FIFO, a device) is refused without waiting on it, and so is
// a file of more than `maxBytes`, before it is read. On failure `error`
// says why, in words for a person.
ReadResult readRegularFile(const std::string& path, uint64_t maxBytes, std::string& bytes,
                           std::string& error);

}  // namespace lumek::os
