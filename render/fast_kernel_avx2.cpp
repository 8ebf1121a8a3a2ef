// The fast pixel pass for processors with AVX2: four pixels at once. Built
// with -mavx2 (and without fused multiply-add, which would change
// roundings), and used only where the processor has AVX2.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_avx2_lanes.inc"
#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Avx2>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx2
#include "render/fast_kernel.inc"
