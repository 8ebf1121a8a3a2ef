// SHA-256 of byte buffers and files, for pinning golden pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumek::test {

std::string sha256Hex(const uint8_t* data, size_t size);
std::string sha256Hex(const std::string& bytes);
// Empty string when the file cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace lumek::test
