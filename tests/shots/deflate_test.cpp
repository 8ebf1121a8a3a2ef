// The PNG writer's compressor: whatever goes in comes back out of an
// independent inflate, for the kinds of input that stress each part of it.
#include "shots/deflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "support/png_decode.h"

namespace lumek {
namespace {

std::string roundTrip(const std::string& input) {
    const std::vector<uint8_t> z =
        zlibCompress(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    std::string out;
    EXPECT_TRUE(test::inflateZlib(std::string(z.begin(), z.end()), out));
    return out;
}

TEST(Deflate, EverythingComesBackFromAnIndependentInflate) {
    std::mt19937 gen(7);
    std::string random(100000, '\0');
    for (char& c : random) c = static_cast<char>(gen());
    std::string text;
    while (text.size() < 300000)
        text += "light, shadow and penumbra " + std::to_string(text.size() % 977);
    // Repeats 40,000 bytes apart: beyond the 32 KiB window.
    std::string far(40000, '\0');
    for (char& c : far) c = static_cast<char>(gen() % 7);
    far += far + far;

    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"one byte", "x"},
        {"three equal bytes", "aaa"},
        {"long zero run", std::string(1 << 20, '\0')},
        {"random bytes", random},
        {"repeating text, many blocks", text},
        {"repeats beyond the window", far},
    };
    for (const auto& [what, input] : cases) EXPECT_TRUE(roundTrip(input) == input) << what;
}

TEST(Deflate, SkewedByteCountsStillGetCodesOfAtMostFifteenBits) {
    // Byte i occurs fib(i) times: an unrestricted Huffman code would need
    // about 25 bits for the rarest; shuffled so no repeats help.
    std::string input;
    uint32_t a = 1, b = 1;
    for (int i = 0; i < 26; ++i) {
        input.append(a, static_cast<char>('A' + i));
        const uint32_t next = a + b;
        a = b;
        b = next;
    }
    std::shuffle(input.begin(), input.end(), std::mt19937(3));
    EXPECT_TRUE(roundTrip(input) == input);
}

TEST(Deflate, RunsOfEqualBytesShrinkToAlmostNothing) {
    const std::string input(1 << 20, 'q');
    const std::vector<uint8_t> z =
        zlibCompress(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    EXPECT_LT(z.size(), 2500u);  // about one bit per 258-byte match
}

}  // namespace
}  // namespace lumek
