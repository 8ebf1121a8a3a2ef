// The fast pixel pass for every x86-64 processor (SSE2): two pixels at once.
#include <emmintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_sse2_lanes.inc"
#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Sse2>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowSse2
#include "render/fast_kernel.inc"
