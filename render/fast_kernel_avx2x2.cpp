// The fast pixel pass for processors with AVX2, sixteen pixels at once:
// two of the eight-pixel shader's steps side by side (four registers of
// doubles), so that the work per candidate that is not per pixel is shared
// by as many pixels as in the sixteen-pixel AVX-512 shader. Built like the
// eight-pixel shader; tiles narrower than sixteen pixels go to that one.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_avx2_lanes.inc"
#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<LanePair<Avx2Pair>>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx2x2
#define LUMEK_NARROW_SHADE_ROW shadeRowAvx2
#include "render/fast_kernel.inc"
