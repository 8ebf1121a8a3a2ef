// PNG pictures of a frame, for people who would rather not open raw files.
#pragma once

#include <string>

#include "render/image.h"

namespace lumek {

// An 8-bit RGB PNG of the image's colour bytes (the fourth byte is left
// out): the same bytes from every build. Empty when encoding fails.
std::string encodePng(const FrameImage& image);

// The same from three bytes a pixel, rows from the top.
std::string encodePngRgb(const uint8_t* rgb, int width, int height);

}  // namespace lumek
