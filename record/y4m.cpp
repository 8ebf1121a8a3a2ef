#include "record/y4m.h"

#include <cmath>
#include <cstring>
#include <numeric>

namespace lumek {

namespace {

uint8_t clampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

constexpr char kFrameTag[] = "FRAME\n";

}  // namespace

std::string y4mHeader(int size) {
    const std::string edge = std::to_string(size);
    return "YUV4MPEG2 W" + edge + " H" + edge + " F60:1 Ip A1333:1000 C444 XCOLORRANGE=FULL\n";
}

std::string y4mHeader(int width, int height, float aspect, int fpsNumerator,
                      int fpsDenominator) {
    // The view's aspect in thousandths, as the square stream has said it.
    uint64_t num = static_cast<uint64_t>(std::lround(static_cast<double>(aspect) * 1000)) *
                   static_cast<uint64_t>(height);
    uint64_t den = 1000 * static_cast<uint64_t>(width);
    const uint64_t common = std::gcd(num, den);
    num /= common;
    den /= common;
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
           std::to_string(fpsNumerator) + ":" + std::to_string(fpsDenominator) + " Ip A" +
           std::to_string(num) + ":" + std::to_string(den) + " C444 XCOLORRANGE=FULL\n";
}

std::string y4mSquarePixelHeader(int width, int height, int fps) {
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
           std::to_string(fps) + ":1 Ip A1:1 C444 XCOLORRANGE=FULL\n";
}

YCbCr toYCbCr(uint8_t r, uint8_t g, uint8_t b) {
    // 0.299, 0.587, 0.114; -0.168736, -0.331264, 0.5; 0.5, -0.418688,
    // -0.081312, each times 65536; chroma centred on 128. Pure blue and
    // pure red reach 255.5 and are clamped.
    const int32_t y = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    const int32_t cb = (-11059 * r - 21709 * g + 32768 * b + (128 << 16) + 32768) >> 16;
    const int32_t cr = (32768 * r - 27439 * g - 5329 * b + (128 << 16) + 32768) >> 16;
    return {clampByte(y), clampByte(cb), clampByte(cr)};
}

void y4mFrame(const FrameImage& image, std::vector<uint8_t>& out) {
    y4mFrame(image.pixels.get(), image.getWidth(), image.getHeight(), out);
}

void y4mFrame(const uint8_t* rgba, int width, int height, std::vector<uint8_t>& out) {
    const size_t pixels = static_cast<size_t>(width) * height;
    const size_t tag = sizeof kFrameTag - 1;
    out.resize(tag + 3 * pixels);
    std::memcpy(out.data(), kFrameTag, tag);
    uint8_t* y = out.data() + tag;
    uint8_t* cb = y + pixels;
    uint8_t* cr = cb + pixels;
    const uint8_t* src = rgba;
    for (size_t i = 0; i < pixels; ++i, src += 4) {
        const YCbCr c = toYCbCr(src[0], src[1], src[2]);
        y[i] = c.y;
        cb[i] = c.cb;
        cr[i] = c.cr;
    }
}

}  // namespace lumek
