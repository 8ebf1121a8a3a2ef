// Whole-file replacement that never leaves a half-written target.
#pragma once

#include <cstddef>
#include <string>

namespace lumek {

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path` once complete and closed, so `path` holds either its old content or
// the whole new one. On failure the temporary file is removed and `error`
// says why.
bool replaceFile(const std::string& path, const char* bytes, size_t size, std::string& error);
inline bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    return replaceFile(path, bytes.data(), bytes.size(), error);
}

}  // namespace lumek
