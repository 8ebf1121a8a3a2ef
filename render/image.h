// The frame the renderer writes: four bytes a pixel (red, green, blue and a
// fourth byte the renderer never touches), rows top to bottom, no padding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/bytes.h"

namespace lumek {

class FrameImage {
  public:
    // Width first, as callers think of it; the buffer starts zeroed so the
    // untouched fourth byte is defined (fresh pages are zero already, so a
    // large image costs no writes until it is rendered).
    FrameImage(int32_t width, int32_t height, float aspect)
        : pixels(zeroedBytes(static_cast<size_t>(width) * height * 4)),
          height(height),
          width(width),
          aspect(aspect) {}

    FrameImage(const FrameImage&) = delete;
    FrameImage& operator=(const FrameImage&) = delete;

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    float getAspect() const { return aspect; }
    size_t byteCount() const { return static_cast<size_t>(width) * height * 4; }

    // Read and written directly by the renderer, the display and the writers.
    // The screenshot mode swaps in a buffer of the same size between frames.
    Bytes pixels;

  private:
    int32_t height;
    int32_t width;
    float aspect;
};

}  // namespace lumek
