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

// Why the file at `path` is not one to read or append to: "it is a FIFO, not
// a regular file" (a folder, a device, a socket); empty for a regular file,
// a symbolic link to one, or nothing at all.
std::string notRegularFile(const std::string& path);

// A file opened for reading. Opening never waits (a FIFO without a writer
// would block a plain open), and anything but a regular file (or a
// symbolic link to one) is refused.
class FileReader {
  public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False with `error` set when the file cannot be read; `missing()`
    // tells apart that there is no file at all.
    bool open(const std::string& path, std::string& error);
    bool missing() const { return missing_; }
    // Up to `size` bytes: 0 at the end, -1 (errno set) when reading fails.
    long read(char* buffer, size_t size);
    // The file's last byte, read where it is (the reading position stays);
    // nothing for an empty file or when it cannot be read.
    std::optional<char> lastByte();

  private:
    int fd_ = -1;
    bool missing_ = false;
};

// Writes all `size` bytes to descriptor `fd`, going on after short writes
// and interrupted calls. False (with errno set) when the descriptor refuses
// more.
bool writeAll(int fd, const void* data, size_t size);

// Writes `bytes` to a temporary file beside `path` (a name no other
// process can foresee, another tried when one is taken), flushes it to disk,
// renames it over `path` and flushes the folder, so `path` holds either its
// old content or the whole new one, also after a crash. A FIFO, folder or
// device at `path` is refused, not replaced. On failure the temporary file
// is removed and `error` says why.
bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error);
inline bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    return replaceFile(path, bytes.data(), bytes.size(), error);
}

// Appends `bytes` to `path` (made if missing, mode 0664) with one write at
// the file's end; anything but a regular file (or a link to one) is refused
// without waiting or writing, so that entries from processes writing at the same time
// never mix. The file is never truncated: a write the disk cut short is
// reported, not undone, since another process may have appended since;
// the next append continues the file where it ends, as any append does.
bool appendToFile(const std::string& path, const std::string& bytes, std::string& error);

// Writes to the standard output descriptor directly (binary on Windows once
// asked for), without the C library's buffer: when this returns true the
// bytes have reached the output.
bool writeToStandardOutput(const void* data, size_t size, std::string& error);

// The whole of a small text file (up to `limit` bytes, the rest left
// unread); empty when the file cannot be read or is no regular file.
std::string readSmallFile(const std::string& path, size_t limit = size_t(16) << 20);

// The same for a stream that a stop request may end: while standard output
// takes the bytes the write goes on, so a reader that reads gets whole
// pieces; once `stopped()` says so and the output takes nothing for a
// moment (a reader that does not read), or a quarter of a second after the
// request at the latest, it gives up and says "stopped". `written` counts
// the bytes that went out, whole or not.
bool writeToStandardOutputUnlessStopped(const void* data, size_t size, bool (*stopped)(),
                                        size_t& written, std::string& error);

// The first line of a small text file, without its line end; empty when
// the file cannot be read (or is no regular file).
std::string readFirstLine(const std::string& path);

// The whole number a small text file starts with; nothing when the file
// cannot be read (or is no regular file) or starts with none.
std::optional<long long> readNumber(const std::string& path);

enum class ReadResult { Read, Missing, NotRegular, TooLarge, Failed };

// Reads the whole regular file at `path` into `bytes`. Anything else (a
// directory, a FIFO, a device) is refused without waiting on it, and so is
// a file of more than `maxBytes`, before it is read. On failure `error`
// says why, in words for a person.
ReadResult readRegularFile(const std::string& path, uint64_t maxBytes, std::string& bytes,
                           std::string& error);

}  // namespace lumek::os
