// The frame the renderer writes: four bytes a pixel (red, green, blue and a
// fourth byte the renderer never touches), rows top to bottom, no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace lumek {

// Frees what calloc gave.
struct FreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
};

class FrameImage {
  public:
    // Width first, as callers think of it; the buffer starts zeroed so the
    // untouched fourth byte is defined (calloc: fresh pages are zero already,
    // so a large image costs no writes until it is rendered).
    FrameImage(int32_t width, int32_t height, float aspect)
        : pixels(allocate(static_cast<size_t>(width) * height * 4)),
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
    std::unique_ptr<uint8_t[], FreeBytes> pixels;

  private:
    static uint8_t* allocate(size_t bytes) {
        void* p = std::calloc(bytes == 0 ? 1 : bytes, 1);
        if (p == nullptr) {
#if defined(__cpp_exceptions)
            throw std::bad_alloc();
#else
            std::abort();
#endif
        }
        return static_cast<uint8_t*>(p);
    }

    int32_t height;
    int32_t width;
    float aspect;
};

}  // namespace lumek
