// The fast pixel pass for processors with AVX2, eight pixels at once:
// arithmetic on doubles works on two registers of four, while colours and
// integer sums hold all eight lanes in one register of 32-bit integers.
// Built like the four-pixel shader (-mavx2, no fused multiply-add); tiles
// narrower than eight pixels (none today) go to that one.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

#include "render/fast_avx2_lanes.inc"
#include "render/fast_lane_pairs.inc"

struct Avx2Pair : LanePair<Avx2> {
    using C = __m256i;  // eight colours or integer sums

    static __m256i join(__m128i lo, __m128i hi) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
    static __m256 pairOf(const lumek::fast::FlatShape::Narrow* lo,
                         const lumek::fast::FlatShape::Narrow* hi) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(&lo->falloff)),
                                    _mm_loadu_ps(&hi->falloff), 1);
    }
    // The eight lanes' shapes' falloffs and colours: two 4 x 4 transposes
    // side by side.
    static void loadNarrow(const lumek::fast::FlatShape::Narrow* const* s, D& falloff, C& red,
                           C& green, C& blue) {
        const __m256 a = pairOf(s[0], s[4]), b = pairOf(s[1], s[5]);
        const __m256 c = pairOf(s[2], s[6]), d = pairOf(s[3], s[7]);
        const __m256d abLow = _mm256_castps_pd(_mm256_unpacklo_ps(a, b));
        const __m256d cdLow = _mm256_castps_pd(_mm256_unpacklo_ps(c, d));
        const __m256d abHigh = _mm256_castps_pd(_mm256_unpackhi_ps(a, b));
        const __m256d cdHigh = _mm256_castps_pd(_mm256_unpackhi_ps(c, d));
        const __m256 f = _mm256_castpd_ps(_mm256_unpacklo_pd(abLow, cdLow));
        falloff = {_mm256_cvtps_pd(_mm256_castps256_ps128(f)),
                   _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1))};
        red = _mm256_castpd_si256(_mm256_unpackhi_pd(abLow, cdLow));
        green = _mm256_castpd_si256(_mm256_unpacklo_pd(abHigh, cdHigh));
        blue = _mm256_castpd_si256(_mm256_unpackhi_pd(abHigh, cdHigh));
    }

    static C setC(int32_t v) { return _mm256_set1_epi32(v); }
    static D fromC(C a) {
        return {_mm256_cvtepi32_pd(_mm256_castsi256_si128(a)),
                _mm256_cvtepi32_pd(_mm256_extracti128_si256(a, 1))};
    }
    static C weightLanes(D w) { return join(_mm256_cvttpd_epi32(w.lo), _mm256_cvttpd_epi32(w.hi)); }
    static C addC(C a, C b) { return _mm256_add_epi32(a, b); }
    static C shiftedProduct(C k, C c) { return _mm256_srai_epi32(_mm256_mullo_epi32(k, c), 16); }
    // sum / 16 rounded down and saturated to 0 ... 255.
    static I bytesOfSum(C sum) {
        const __m256i v =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(sum, 4), _mm256_setzero_si256()),
                             _mm256_set1_epi32(255));
        return {_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)};
    }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Avx2Pair>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx2x2
#define LUMEK_NARROW_SHADE_ROW shadeRowAvx2
#include "render/fast_kernel.inc"
