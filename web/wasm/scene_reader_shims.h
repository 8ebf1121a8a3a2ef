// Included before the scene reader when it is built for the page's module.
// libc++ for wasm32 has no floating-point std::from_chars (the call would
// fall to its deleted integer overload), so these give it: the C library's
// strtof and strtod round a decimal text correctly, as from_chars does.
#pragma once

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>

namespace std {

inline from_chars_result lumekFromChars(const char* first, const char* last, float* f,
                                        double* d) {
    const std::string text(first, last);
    char* end = nullptr;
    errno = 0;
    if (f) *f = std::strtof(text.c_str(), &end);
    else *d = std::strtod(text.c_str(), &end);
    from_chars_result result{first + (end - text.c_str()), errc()};
    if (end == text.c_str()) result.ec = errc::invalid_argument;
    else if (errno == ERANGE) result.ec = errc::result_out_of_range;
    return result;
}
inline from_chars_result from_chars(const char* first, const char* last, float& value) {
    return lumekFromChars(first, last, &value, nullptr);
}
inline from_chars_result from_chars(const char* first, const char* last, double& value) {
    return lumekFromChars(first, last, nullptr, &value);
}

}  // namespace std
