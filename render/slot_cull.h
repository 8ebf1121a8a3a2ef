// Shape::mayHit of one shape for all sixteen slots of a tile at once, shared
// by the culling passes of the fast render.
#pragma once

#include "render/fast_kernel.h"
#include "render/shapes.h"

namespace lumek {

// The same operations as CircleShape::mayHit and SegmentShape::mayHit (keep
// them in step), written slot by slot over arrays so that the compiler
// tests the slots side by side. `n` holds the slots' normals as doubles:
// first x, first y, last x, last y.
inline void mayHitEverySlot(const fast::FlatShape& s, Vec2 p, float x,
                            const double (&n)[4][fast::kSlots], bool (&hit)[fast::kSlots]) {
    const double above = x;
    const double below = -x;
    if (!s.segment) {
        const double dx = s.a - p.x;
        const double dy = s.b - p.y;
        const double radius = s.c;
        for (int k = 0; k < fast::kSlots; ++k) {
            const double cA = n[0][k] * dx + n[1][k] * dy;
            const double cB = n[2][k] * dx + n[3][k] * dy;
            const bool beyond = (cA - radius > above) & (cB - radius > above);
            const bool before = (cA + radius < below) & (cB + radius < below);
            hit[k] = !(beyond | before);
        }
    } else {
        const double ax = s.a - p.x;
        const double ay = s.b - p.y;
        const double bx = s.a + s.c - p.x;
        const double by = s.b + s.d - p.y;
        for (int k = 0; k < fast::kSlots; ++k) {
            const double aA = n[0][k] * ax + n[1][k] * ay;
            const double aB = n[2][k] * ax + n[3][k] * ay;
            const double bA = n[0][k] * bx + n[1][k] * by;
            const double bB = n[2][k] * bx + n[3][k] * by;
            const bool beyond = (aA > above) & (aB > above) & (bA > above) & (bB > above);
            const bool before = (aA < below) & (aB < below) & (bA < below) & (bB < below);
            hit[k] = !(beyond | before);
        }
    }
}

}  // namespace lumek
