// The fast pixel pass: one row of pixels at a time, several pixels of a
// tile at once, against flattened candidate lists. It computes exactly what
// the straightforward pass computes (same operations, same roundings, same
// order of random draws); only the order of independent work differs.
#pragma once

#include <cstdint>

#include "render/shapes.h"

namespace lumek::fast {

constexpr int kSlots = 16;
constexpr int kDirectionsPerSlot = 32;

// A shape's parameters, widened once per frame.
struct FlatShape {
    double a, b, c, d;  // disc: centre x, centre y, radius, radius squared
                        // segment: start x, start y, direction x, direction y
    double falloff;
    int32_t red, green, blue;
    int32_t segment;  // 0 disc, 1 segment
};

// Everything the pixel pass of one frame reads.
struct FrameJob {
    const FlatShape* shapes;
    int shapeCount;
    const uint16_t* lists;   // list l holds lists[l * stride ...]
    const uint16_t* counts;  // candidates in list l
    int stride;
    const float* sinTable;
    const float* cosTable;
    const Vec2* rowOrigins;  // the first pixel of every row
    Vec2 u;                  // step between columns
    int width;
    int tileShift;
    int tilesX;
    uint8_t* pixels;
};

// Shades pixel row y, drawing jitter from a generator in `state` (the state
// before the row's first draw). `ox` and `oy` are scratch of `width` floats.
using RowShader = void (*)(const FrameJob& job, int y, uint32_t state, float* ox, float* oy);

// One per instruction set (render/targets.h lists them).
void shadeRowPortable(const FrameJob& job, int y, uint32_t state, float* ox, float* oy);
#if defined(__x86_64__) || defined(__i386__)
void shadeRowSse2(const FrameJob& job, int y, uint32_t state, float* ox, float* oy);
void shadeRowAvx2(const FrameJob& job, int y, uint32_t state, float* ox, float* oy);
void shadeRowAvx512(const FrameJob& job, int y, uint32_t state, float* ox, float* oy);
#endif

}  // namespace lumek::fast
