// SHA-256 of bytes, as 64 lower-case hex digits: names a scene by its
// canonical text, and pins the tests' golden pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumek {

std::string sha256Hex(const uint8_t* data, size_t size);
std::string sha256Hex(const std::string& bytes);

}  // namespace lumek
