#include "bench/verify.h"

#include <cstdio>

#include "bench/entry.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace lumek {

namespace {

// From the straightforward renderer; the tests check them against it and
// against every row shader.
constexpr uint64_t kHashes[kBenchFrames] = {
    0xd9476a9c8faceedfull, 0xf466a52ca650702bull, 0x4628a63707bcff12ull, 0xd2299aa9968451c8ull,
    0x33ef9541a04b35ecull, 0x2f27780cc3bf1076ull, 0x412af0c52ac0df1eull, 0x5b6c1d6a5ba75642ull,
    0x55b57ba27ac74793ull, 0xf6a93349d262700dull, 0x06f148098968d37dull, 0x152590a712a657c9ull,
    0x36d366a8cd66b78cull, 0x647ecccf072329cbull, 0xd1b24d4161e2beedull, 0xc90012fd7148c8c9ull,
    0xa895172562e98781ull, 0x1384e34daed18951ull, 0xb7cca57ff0ed65b5ull, 0xbb1ceed2f91cfcddull,
    0xbf204a25aeefa72dull, 0x79d4fb4249c8401dull, 0x473bc95c87e741f2ull, 0x006fd050b58a312dull,
    0x3a225ae1d6310ef2ull, 0x549a9a5669f372b4ull, 0x7f523a9a2db1b4e8ull, 0xdc3c55fc48f71c58ull,
    0xc2d483dfcaafd0bfull, 0x7d907439611f53c0ull, 0x49a15ed3d36b8b9dull, 0x0212f3f46fca1ca1ull,
    0x9bad5ab8f3018a94ull,
};

}  // namespace

uint64_t frameHash(const FrameImage& image) {
    return XXH3_64bits(image.pixels.get(), image.byteCount());
}

std::string hashHex(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

uint64_t expectedFrameHash(int index) { return kHashes[index]; }

uint64_t benchWorkloadId() {
    uint8_t bytes[kBenchFrames * 8 + 3 * 4];
    size_t at = 0;
    auto put = [&bytes, &at](uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes[at++] = static_cast<uint8_t>(value >> (8 * i));
    };
    for (uint64_t hash : kHashes) put(hash, 8);
    put(kBenchImageSize, 4);
    put(kBenchImageSize, 4);
    put(kBenchFrames - 1, 4);
    return XXH3_64bits(bytes, sizeof bytes);
}

bool FrameCheck::check(FrameImage& image, int thread, uint64_t round,
                       const BenchFrame& frame) const {
    if (tamper) tamper(image, thread, round, frame);
    const uint64_t actual = frameHash(image);
    const uint64_t expected = this->expected != nullptr
                                  ? (*this->expected)[static_cast<size_t>(frame.index)]
                                  : expectedFrameHash(frame.index);
    if (actual == expected) return true;
    if (wrong) wrong(WrongFrame{thread, round, frame, expected, actual});
    return false;
}

}  // namespace lumek
