// A zlib stream (RFC 1950 around RFC 1951 deflate) for the PNG writer:
// LZ77 over hash chains with lazy matching, then dynamic Huffman blocks.
// Plain C++ with no platform dependence, so every build writes the same
// bytes; close to zlib's default level in size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumek {

std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size);

}  // namespace lumek
