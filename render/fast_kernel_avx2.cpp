// The fast pixel pass for processors with AVX2: eight pixels at once, two
// registers of four doubles (one register a step left a third of the time
// in the work per candidate that is not per pixel). Built with -mavx2 (and
// without fused multiply-add, which would change roundings), and used only
// where the processor has AVX2.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_avx2_lanes.inc"
#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Avx2Pair>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx2
#include "render/fast_kernel.inc"
