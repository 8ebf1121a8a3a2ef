// The fast pixel pass for every x86-64 processor (SSE2): two pixels at once.
#include <emmintrin.h>

#include "render/fast_kernel.h"

namespace {

struct Base {
    static constexpr int kLanes = 2;
    using D = __m128d;
    using I = __m128i;  // the low two lanes are used
    using C = __m128i;  // colours, the low two lanes

    static D set(double v) { return _mm_set1_pd(v); }
    static D zero() { return _mm_setzero_pd(); }
    static D allOnes() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static D add(D a, D b) { return _mm_add_pd(a, b); }
    static D sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D div(D a, D b) { return _mm_div_pd(a, b); }
    static D neg(D a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static D abs(D a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static D min(D a, D b) { return _mm_min_pd(a, b); }
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

    // 64-bit integer arithmetic on the lanes' bits, for the nearest shapes'
    // keys; the larger key, keeping the second where the first is not a
    // number (the maximum's rule).
    static D setBits(uint64_t v) { return _mm_castsi128_pd(_mm_set1_epi64x(int64_t(v))); }
    static D addBits(D a, D b) {
        return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(a), _mm_castpd_si128(b)));
    }
    static D subBits(D a, D b) {
        return _mm_castsi128_pd(_mm_sub_epi64(_mm_castpd_si128(a), _mm_castpd_si128(b)));
    }
    static D maxKey(D candidate, D key) { return _mm_max_pd(candidate, key); }
    // The two lanes' shapes' falloffs and colours.
    static void loadNarrow(const lumek::fast::FlatShape::Narrow* const* s, D& falloff, C& red,
                           C& green, C& blue) {
        const __m128 a = _mm_loadu_ps(&s[0]->falloff), b = _mm_loadu_ps(&s[1]->falloff);
        const __m128 low = _mm_unpacklo_ps(a, b), high = _mm_unpackhi_ps(a, b);
        falloff = _mm_cvtps_pd(low);
        red = _mm_castps_si128(_mm_movehl_ps(low, low));
        green = _mm_castps_si128(high);
        blue = _mm_castps_si128(_mm_movehl_ps(high, high));
    }
    static C setC(int32_t v) { return _mm_set1_epi32(v); }
    static D fromC(C a) { return _mm_cvtepi32_pd(a); }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Base>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowSse2
#include "render/fast_kernel.inc"
