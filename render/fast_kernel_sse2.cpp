// The fast pixel pass for every x86-64 processor (SSE2): four pixels at
// once, two registers of two doubles; colours and integer sums hold all four
// lanes in one register of 32-bit integers.
#include <emmintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_lane_pairs.inc"
#include "render/fast_sse2_lanes.inc"

struct Sse2Pair : LanePair<Sse2> {
    using I = __m128i;  // four 32-bit integers
    using C = __m128i;

    static I truncate(D a) {
        return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a.lo), _mm_cvttpd_epi32(a.hi));
    }
    static D toDouble(I a) {
        return {_mm_cvtepi32_pd(a), _mm_cvtepi32_pd(_mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)))};
    }
    static void storeI(int32_t* out, I a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a); }

    // The four lanes' shapes' falloffs and colours: a 4 x 4 transpose.
    static void loadNarrow(const lumek::fast::FlatShape::Narrow* const* s, D& falloff, C& red,
                           C& green, C& blue) {
        const __m128 a = _mm_loadu_ps(&s[0]->falloff), b = _mm_loadu_ps(&s[1]->falloff);
        const __m128 c = _mm_loadu_ps(&s[2]->falloff), d = _mm_loadu_ps(&s[3]->falloff);
        const __m128 abLow = _mm_unpacklo_ps(a, b), cdLow = _mm_unpacklo_ps(c, d);
        const __m128 abHigh = _mm_unpackhi_ps(a, b), cdHigh = _mm_unpackhi_ps(c, d);
        falloff = {_mm_cvtps_pd(abLow), _mm_cvtps_pd(cdLow)};
        red = _mm_castps_si128(_mm_movehl_ps(cdLow, abLow));
        green = _mm_castps_si128(_mm_movelh_ps(abHigh, cdHigh));
        blue = _mm_castps_si128(_mm_movehl_ps(cdHigh, abHigh));
    }
    static C setC(int32_t v) { return _mm_set1_epi32(v); }
    static D fromC(C a) { return toDouble(a); }

    // Integer sums. SSE2 multiplies the even 32-bit lanes into 64 bits;
    // the low halves of those products are the 32-bit ones.
    static C weightLanes(D w) { return truncate(w); }
    static C addC(C a, C b) { return _mm_add_epi32(a, b); }
    static C shiftedProduct(C k, C c) {
        const __m128i even = _mm_mul_epu32(k, c);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(k, 32), _mm_srli_epi64(c, 32));
        const __m128i product = _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                                   _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
        return _mm_srai_epi32(product, 16);
    }
    // sum / 16 rounded down and saturated to 0 ... 255 (saturating packs to
    // 16 and 8 bits, then back).
    static I bytesOfSum(C sum) {
        const __m128i v = _mm_srai_epi32(sum, 4);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128());
        return _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, _mm_setzero_si128()),
                                  _mm_setzero_si128());
    }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Sse2Pair>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowSse2
#include "render/fast_kernel.inc"
