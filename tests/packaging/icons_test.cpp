// The icon's pictures: block means, and the Windows icon file read back
// field by field.
#include "packaging/icons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace lumek {
namespace {

uint32_t readLittleEndian(const std::string& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = count; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
    return value;
}

// A picture whose pixel (x, y) has red x, green y and blue x + y.
IconPicture ramp(int size) {
    IconPicture p{size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 3)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint8_t* rgb = &p.rgb[(static_cast<size_t>(y) * size + x) * 3];
            rgb[0] = static_cast<uint8_t>(x);
            rgb[1] = static_cast<uint8_t>(y);
            rgb[2] = static_cast<uint8_t>(x + y);
        }
    return p;
}

TEST(Icons, EverySizeDividesTheMasterPicture) {
    for (int size : kIconSizes) EXPECT_EQ(kIconMasterSize % size, 0) << size;
}

TEST(Icons, ShrinkingTakesTheRoundedMeanOfEachBlock) {
    // Blocks of 2 x 2 over the ramp: red is 2a + 0.5 (rounds up), green 2b +
    // 0.5, blue their sum 2a + 2b + 1 exactly.
    const IconPicture small = shrinkIcon(ramp(8), 4);
    ASSERT_EQ(small.size, 4);
    ASSERT_EQ(small.rgb.size(), 4u * 4 * 3);
    for (int b = 0; b < 4; ++b)
        for (int a = 0; a < 4; ++a) {
            const uint8_t* rgb = &small.rgb[(b * 4 + a) * 3];
            EXPECT_EQ(rgb[0], 2 * a + 1) << a << "," << b;
            EXPECT_EQ(rgb[1], 2 * b + 1) << a << "," << b;
            EXPECT_EQ(rgb[2], 2 * a + 2 * b + 1) << a << "," << b;
        }
    // Blocks of 3 x 3: means 3a + 1 and 3b + 1 exactly.
    const IconPicture third = shrinkIcon(ramp(9), 3);
    EXPECT_EQ(third.rgb[(2 * 3 + 1) * 3 + 0], 4);
    EXPECT_EQ(third.rgb[(2 * 3 + 1) * 3 + 1], 7);
    EXPECT_EQ(third.rgb[(2 * 3 + 1) * 3 + 2], 11);
    // One pixel a block: the picture itself.
    EXPECT_EQ(shrinkIcon(ramp(5), 5).rgb, ramp(5).rgb);
}

TEST(Icons, TheWindowsIconFileHoldsEachPictureAsAnOpaqueBitmap) {
    const std::vector<IconPicture> pictures = {ramp(4), ramp(256)};
    const std::string ico = encodeIco(pictures);
    ASSERT_GE(ico.size(), 6u + 2 * 16);
    EXPECT_EQ(readLittleEndian(ico, 0, 2), 0u);
    EXPECT_EQ(readLittleEndian(ico, 2, 2), 1u);  // an icon
    ASSERT_EQ(readLittleEndian(ico, 4, 2), 2u);
    size_t expectedOffset = 6 + 2 * 16;
    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(pictures[i].size);
        const size_t entry = 6 + 16 * i;
        const uint32_t n = static_cast<uint32_t>(pictures[i].size);
        const uint32_t edge = n == 256 ? 0 : n;  // a byte: 0 stands for 256
        EXPECT_EQ(readLittleEndian(ico, entry + 0, 1), edge);
        EXPECT_EQ(readLittleEndian(ico, entry + 1, 1), edge);
        EXPECT_EQ(readLittleEndian(ico, entry + 4, 2), 1u);   // planes
        EXPECT_EQ(readLittleEndian(ico, entry + 6, 2), 32u);  // bits a pixel
        const uint32_t size = readLittleEndian(ico, entry + 8, 4);
        const uint32_t offset = readLittleEndian(ico, entry + 12, 4);
        EXPECT_EQ(offset, expectedOffset);
        const uint32_t maskRow = (n + 31) / 32 * 4;
        ASSERT_EQ(size, 40 + n * n * 4 + maskRow * n);
        expectedOffset += size;

        // The bitmap's header: colours and mask stacked, twice the height.
        EXPECT_EQ(readLittleEndian(ico, offset + 0, 4), 40u);
        EXPECT_EQ(readLittleEndian(ico, offset + 4, 4), n);
        EXPECT_EQ(readLittleEndian(ico, offset + 8, 4), 2 * n);
        EXPECT_EQ(readLittleEndian(ico, offset + 14, 2), 32u);
        // Rows from the bottom, blue first, opaque.
        const size_t pixels = offset + 40;
        for (uint32_t row = 0; row < n; row += n - 1)
            for (uint32_t x = 0; x < n; x += n - 1) {
                const uint32_t y = n - 1 - row;
                const size_t at = pixels + (static_cast<size_t>(row) * n + x) * 4;
                EXPECT_EQ(readLittleEndian(ico, at + 0, 1), (x + y) & 0xffu) << x << "," << y;
                EXPECT_EQ(readLittleEndian(ico, at + 1, 1), y & 0xffu);
                EXPECT_EQ(readLittleEndian(ico, at + 2, 1), x & 0xffu);
                EXPECT_EQ(readLittleEndian(ico, at + 3, 1), 0xffu);
            }
        // The mask shows every pixel.
        const std::string mask = ico.substr(pixels + n * n * 4, maskRow * n);
        EXPECT_EQ(mask, std::string(mask.size(), '\0'));
    }
    EXPECT_EQ(ico.size(), expectedOffset);
}

}  // namespace
}  // namespace lumek
