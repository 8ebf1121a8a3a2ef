#include "support/sha256.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "util/sha256.h"

namespace lumek::test {

std::string sha256Hex(const uint8_t* data, size_t size) { return lumek::sha256Hex(data, size); }

std::string sha256Hex(const std::string& bytes) { return lumek::sha256Hex(bytes); }

std::string sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace lumek::test
