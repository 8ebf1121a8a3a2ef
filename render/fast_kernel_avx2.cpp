// The fast pixel pass for processors with AVX2: four pixels at once. Built
// with -mavx2 (and without fused multiply-add, which would change
// roundings), and used only where the processor has AVX2.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

struct Base {
    static constexpr int kLanes = 4;
    using D = __m256d;
    using I = __m128i;

    static D set(double v) { return _mm256_set1_pd(v); }
    static D zero() { return _mm256_setzero_pd(); }
    static D allOnes() { return _mm256_castsi256_pd(_mm256_set1_epi32(-1)); }
    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D div(D a, D b) { return _mm256_div_pd(a, b); }
    static D neg(D a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static D abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    // Ordered, quiet comparisons: false where either side is not a number.
    static D lt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static D le(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static D gt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static D ge(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static D bitAnd(D a, D b) { return _mm256_and_pd(a, b); }
    static D bitOr(D a, D b) { return _mm256_or_pd(a, b); }
    static D andNot(D a, D b) { return _mm256_andnot_pd(a, b); }  // ~a & b
    // Equal, or either side not a number.
    static D eqOrUnordered(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_UQ); }
    static D select(D mask, D a, D b) { return _mm256_blendv_pd(b, a, mask); }
    static bool any(D mask) { return _mm256_movemask_pd(mask) != 0; }
    static bool all(D mask) { return _mm256_movemask_pd(mask) == 15; }
    static D roundToFloat(D a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }
    static D floor(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
    static D loadFloats(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
    static D gather(const float* table, const int32_t* index) {
        const __m128i i = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index));
        return _mm256_cvtps_pd(_mm_i32gather_ps(table, i, 4));
    }

    static I truncate(D a) { return _mm256_cvttpd_epi32(a); }
    static D toDouble(I a) { return _mm256_cvtepi32_pd(a); }
    static void storeI(int32_t* out, I a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a); }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Base>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx2
#include "render/fast_kernel.inc"
