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
    double red, green, blue;  // exact: 32-bit integers
    // The same at their own width, side by side: for shaders that keep them
    // so, and for those that load a hit shape's four at once.
    struct Narrow {
        float falloff;
        int32_t red, green, blue;
    } narrow;
    int32_t segment;  // 0 disc, 1 segment
};

// A list entry: the shape's index in its low 14 bits. Lists nearest first
// (FrameJob::buckets) mark in the two high bits which side of the line a
// shape may be met on: ahead (t > 0, at 0, or not known) and behind (t < 0).
// A group of lines whose every nearest hit on one side is settled skips the
// shapes that can only lie on that side.
constexpr uint16_t kIndexBits = 0x3fff;
constexpr uint16_t kMayLieAhead = 0x8000;
constexpr uint16_t kMayLieBehind = 0x4000;
constexpr int kMostListedShapes = kIndexBits;

// Everything the pixel pass of one frame reads.
struct FrameJob {
    const FlatShape* shapes;
    int shapeCount;
    bool smallColours;       // every colour channel in -32768 ... 32767
    const uint16_t* lists;   // list l holds lists[l * stride ...] (entries as above)
    const uint16_t* counts;  // candidates in list l
    int stride;
    // When not null, each tile's lists name their shapes nearest first, by
    // a lower bound of the distance from any of the tile's pixels at which
    // a line can meet them: buckets[tile * stride + shape] is k when that
    // bound is at least k * bucketStep, and a list's buckets never fall.
    // A line stops once its nearest hit on each side is nearer than the
    // next bucket's bound. When null, lists are in the scene's order.
    const uint8_t* buckets;
    float bucketStep;
    // With buckets, per list: how many of its first shapes may be met at
    // t > 0 (or at 0), and at t < 0; none after them can.
    const uint16_t* reachPositive;
    const uint16_t* reachNegative;
    const float* sinTable;
    const float* cosTable;
    const Vec2* rowOrigins;  // the first pixel of every row
    Vec2 u;                  // step between columns
    int width;
    int tileShift;
    int tilesX;
    uint8_t* pixels;
};

// One worker's pixel positions along a row: `ox` and `oy` hold `width`
// floats each. The x positions depend only on the row's first x and the
// column step's x, and likewise for y; a worker keeps them while those stay
// the same (every row of a view whose columns run along an axis).
struct RowScratch {
    float* ox = nullptr;
    float* oy = nullptr;
    uint32_t xFrom[2] = {0, 0};  // bits of the first x and of the step's x
    uint32_t yFrom[2] = {0, 0};
    bool xKept = false;
    bool yKept = false;
    uint64_t lineTests = 0;  // shape tests times the lines they served, for benchmarks
};

// Shades pixel row y, drawing jitter from a generator in `state` (the state
// before the row's first draw).
using RowShader = void (*)(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);

// One per instruction set (render/targets.h lists them).
void shadeRowPortable(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
#if defined(__x86_64__) || defined(__i386__)
void shadeRowSse2(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
void shadeRowAvx2(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
void shadeRowAvx2x2(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
void shadeRowAvx512(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
void shadeRowAvx512x2(const FrameJob& job, int y, uint32_t state, RowScratch& scratch);
#endif

}  // namespace lumek::fast
