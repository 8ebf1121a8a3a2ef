// Whole-file replacement that never leaves a half-written target.
#pragma once

#include <string>

namespace lumek {

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path` once complete and closed, so `path` holds either its old content or
// the whole new one. On failure the temporary file is removed and `error`
// says why.
bool replaceFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace lumek
