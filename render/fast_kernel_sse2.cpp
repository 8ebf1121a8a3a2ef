// The fast pixel pass for every x86-64 processor (SSE2): two pixels at once.
#include <emmintrin.h>

#include "render/fast_kernel.h"

namespace {

struct Base {
    static constexpr int kLanes = 2;
    using D = __m128d;
    using I = __m128i;  // the low two lanes are used

    static D set(double v) { return _mm_set1_pd(v); }
    static D zero() { return _mm_setzero_pd(); }
    static D allOnes() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static D add(D a, D b) { return _mm_add_pd(a, b); }
    static D sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D div(D a, D b) { return _mm_div_pd(a, b); }
    static D neg(D a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static D abs(D a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    // Ordered comparisons: false where either side is not a number.
    static D lt(D a, D b) { return _mm_cmplt_pd(a, b); }
    static D le(D a, D b) { return _mm_cmple_pd(a, b); }
    static D gt(D a, D b) { return _mm_cmpgt_pd(a, b); }
    static D ge(D a, D b) { return _mm_cmpge_pd(a, b); }
    static D bitAnd(D a, D b) { return _mm_and_pd(a, b); }
    static D bitOr(D a, D b) { return _mm_or_pd(a, b); }
    static D andNot(D a, D b) { return _mm_andnot_pd(a, b); }  // ~a & b
    // Equal, or either side not a number.
    static D eqOrUnordered(D a, D b) {
        return _mm_or_pd(_mm_cmpeq_pd(a, b), _mm_cmpunord_pd(a, b));
    }
    static D select(D mask, D a, D b) {
        return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
    }
    static bool any(D mask) { return _mm_movemask_pd(mask) != 0; }
    static bool all(D mask) { return _mm_movemask_pd(mask) == 3; }
    static D roundToFloat(D a) { return _mm_cvtps_pd(_mm_cvtpd_ps(a)); }
    static D loadFloats(const float* p) {
        return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    }
    static D gather(const float* table, const int32_t* index) {
        return _mm_set_pd(table[index[1]], table[index[0]]);
    }

    static I truncate(D a) { return _mm_cvttpd_epi32(a); }
    static D toDouble(I a) { return _mm_cvtepi32_pd(a); }
    static void storeI(int32_t* out, I a) { _mm_storel_epi64(reinterpret_cast<__m128i*>(out), a); }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Base>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowSse2
#include "render/fast_kernel.inc"
