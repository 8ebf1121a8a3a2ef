// YUV4MPEG2, the uncompressed stream ffmpeg, mpv and VLC read directly:
// a header line, then per frame "FRAME" and three full-size planes.
//
// Colour: BT.601 (the matrix players assume for this format) at full range
// (0 ... 255, said in the header as XCOLORRANGE=FULL), 4:4:4, converted
// with integer arithmetic so every platform writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/image.h"

namespace lumek {

// The stream header for square pictures of edge `size` at 60 frames per
// second, each pixel shown 1.333 times as wide as high.
std::string y4mHeader(int size);

// The header for `width` x `height` pictures that show a view `aspect` times
// as wide as high, at `fpsNumerator`:`fpsDenominator` frames per second: the
// pixels' aspect is aspect x height / width, as a reduced fraction.
std::string y4mHeader(int width, int height, float aspect, int fpsNumerator = 60,
                      int fpsDenominator = 1);

// One frame: "FRAME\n", then the Y, Cb and Cr planes of the image's colour
// bytes. `out` is resized to hold it (and keeps its storage between frames).
void y4mFrame(const FrameImage& image, std::vector<uint8_t>& out);

// The header for pictures of square pixels at `fps` frames per second.
std::string y4mSquarePixelHeader(int width, int height, int fps);

// The same from `width` x `height` pixels of four bytes, rows packed.
void y4mFrame(const uint8_t* rgba, int width, int height, std::vector<uint8_t>& out);

// The conversion of one pixel, in 16.16 fixed point with rounding.
struct YCbCr {
    uint8_t y, cb, cr;
};
YCbCr toYCbCr(uint8_t r, uint8_t g, uint8_t b);

}  // namespace lumek
