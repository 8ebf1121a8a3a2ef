// The fast pixel pass for processors with AVX-512 (F, DQ, VL), sixteen
// pixels at once: arithmetic on doubles works on two registers of eight,
// while masks, and the nearest shapes' distances (floats) and colours
// (32-bit integers), hold all sixteen lanes in one. The work per candidate
// that is not per pixel (its list entry, its kind, the branches on whether
// any line hit) is shared by twice as many pixels as in the eight-pixel
// shader, and keeping the nearest shapes at their own width halves the
// selects. Tiles narrower than sixteen pixels go to the eight-pixel shader.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

struct Isa {
    static constexpr int kLanes = 16;
    struct D {
        __m512d lo, hi;
    };
    using M = __mmask16;
    struct I {
        __m256i lo, hi;
    };
    static constexpr bool kNarrowNearest = true;
    using T = __m512;   // sixteen floats
    using C = __m512i;  // sixteen 32-bit integers

    static __mmask8 low(M m) { return static_cast<__mmask8>(m); }
    static __mmask8 high(M m) { return static_cast<__mmask8>(m >> 8); }
    static M join(__mmask8 lo, __mmask8 hi) { return _mm512_kunpackb(hi, lo); }

    static D set(double v) { return {_mm512_set1_pd(v), _mm512_set1_pd(v)}; }
    static D zero() { return {_mm512_setzero_pd(), _mm512_setzero_pd()}; }
    static D add(D a, D b) { return {_mm512_add_pd(a.lo, b.lo), _mm512_add_pd(a.hi, b.hi)}; }
    static D sub(D a, D b) { return {_mm512_sub_pd(a.lo, b.lo), _mm512_sub_pd(a.hi, b.hi)}; }
    static D mul(D a, D b) { return {_mm512_mul_pd(a.lo, b.lo), _mm512_mul_pd(a.hi, b.hi)}; }
    static D div(D a, D b) { return {_mm512_div_pd(a.lo, b.lo), _mm512_div_pd(a.hi, b.hi)}; }
    static D abs(D a) { return {_mm512_abs_pd(a.lo), _mm512_abs_pd(a.hi)}; }
    // Ordered, quiet comparisons: false where either side is not a number.
    template <int kPredicate>
    static M cmp(D a, D b) {
        return join(_mm512_cmp_pd_mask(a.lo, b.lo, kPredicate),
                    _mm512_cmp_pd_mask(a.hi, b.hi, kPredicate));
    }
    static M lt(D a, D b) { return cmp<_CMP_LT_OQ>(a, b); }
    static M le(D a, D b) { return cmp<_CMP_LE_OQ>(a, b); }
    static M gt(D a, D b) { return cmp<_CMP_GT_OQ>(a, b); }
    static M ge(D a, D b) { return cmp<_CMP_GE_OQ>(a, b); }
    static M gtWhere(M m, D a, D b) {
        return join(_mm512_mask_cmp_pd_mask(low(m), a.lo, b.lo, _CMP_GT_OQ),
                    _mm512_mask_cmp_pd_mask(high(m), a.hi, b.hi, _CMP_GT_OQ));
    }
    static M none() { return 0; }
    static M mOr(M a, M b) { return static_cast<M>(a | b); }
    static M mAndNot(M a, M b) { return static_cast<M>(~a & b); }
    static M mNot(M a) { return static_cast<M>(~a); }
    static D select(M m, D a, D b) {
        return {_mm512_mask_blend_pd(low(m), b.lo, a.lo),
                _mm512_mask_blend_pd(high(m), b.hi, a.hi)};
    }
    // min(max(a, 0), limit) where `mask`, 0 elsewhere; max gives its second
    // operand, 0, for a NaN.
    static D clampedWhere(M m, D a, D limit) {
        const __m512d z = _mm512_setzero_pd();
        return {_mm512_min_pd(_mm512_maskz_max_pd(low(m), a.lo, z), limit.lo),
                _mm512_min_pd(_mm512_maskz_max_pd(high(m), a.hi, z), limit.hi)};
    }
    static bool any(M m) { return m != 0; }
    static bool all(M m) { return m == 0xFFFF; }
    static D floor(D a) {
        return {_mm512_roundscale_pd(a.lo, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                _mm512_roundscale_pd(a.hi, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC)};
    }
    static D loadFloats(const float* p) {
        return {_mm512_cvtps_pd(_mm256_loadu_ps(p)), _mm512_cvtps_pd(_mm256_loadu_ps(p + 8))};
    }
    // The slot's 32 entries sit in two registers; a permute picks the lanes.
    static __m512d pick(__m512 lo, __m512 hi, const int32_t* index) {
        const __m512i i =
            _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(index)));
        return _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(lo, i, hi)));
    }
    static D gather(const float* slot, const int32_t* index) {
        const __m512 lo = _mm512_loadu_ps(slot), hi = _mm512_loadu_ps(slot + 16);
        return {pick(lo, hi, index), pick(lo, hi, index + 8)};
    }

    // The nearest shapes' distances and colours, sixteen lanes a register.
    static T setT(float v) { return _mm512_set1_ps(v); }
    static C setC(int32_t v) { return _mm512_set1_epi32(v); }
    static T roundT(D a) {
        return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(a.lo)),
                                  _mm512_cvtpd_ps(a.hi), 1);
    }
    static D fromT(T a) {
        return {_mm512_cvtps_pd(_mm512_castps512_ps256(a)),
                _mm512_cvtps_pd(_mm512_extractf32x8_ps(a, 1))};
    }
    static D fromC(C a) {
        return {_mm512_cvtepi32_pd(_mm512_castsi512_si256(a)),
                _mm512_cvtepi32_pd(_mm512_extracti32x8_epi32(a, 1))};
    }
    static T neg(T a) {
        return _mm512_castsi512_ps(
            _mm512_xor_si512(_mm512_castps_si512(a), _mm512_set1_epi32(INT32_MIN)));
    }
    static T select(M m, T a, T b) { return _mm512_mask_blend_ps(m, b, a); }
    static T zeroWhere(M m, T a) { return _mm512_maskz_mov_ps(mNot(m), a); }
    static C select(M m, C a, C b) { return _mm512_mask_blend_epi32(m, b, a); }
    static M ltWhere(M m, T a, T b) { return _mm512_mask_cmp_ps_mask(m, a, b, _CMP_LT_OQ); }
    static M gtWhere(M m, T a, T b) { return _mm512_mask_cmp_ps_mask(m, a, b, _CMP_GT_OQ); }
    static M eqWhere(M m, T a, T b) { return _mm512_mask_cmp_ps_mask(m, a, b, _CMP_EQ_OQ); }
    static M eqOrUnorderedWhere(M m, T a, T b) {
        return _mm512_mask_cmp_ps_mask(m, a, b, _CMP_EQ_UQ);
    }

    // Integer sums: a whole weight of 0 ... 65536 in 32 bits, and
    // floor(weight x colour / 65536) for colours whose products fit.
    static C weightLanes(D w) {
        return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(w.lo)),
                                  _mm512_cvttpd_epi32(w.hi), 1);
    }
    static C addC(C a, C b) { return _mm512_add_epi32(a, b); }
    static C shiftedProduct(C k, C c) { return _mm512_srai_epi32(_mm512_mullo_epi32(k, c), 16); }
    // sum / 16 rounded down and saturated to 0 ... 255.
    static I bytesOfSum(C sum) {
        const C v =
            _mm512_min_epi32(_mm512_max_epi32(_mm512_srai_epi32(sum, 4), _mm512_setzero_si512()),
                             _mm512_set1_epi32(255));
        return {_mm512_castsi512_si256(v), _mm512_extracti64x4_epi64(v, 1)};
    }

    static I truncate(D a) { return {_mm512_cvttpd_epi32(a.lo), _mm512_cvttpd_epi32(a.hi)}; }
    static D toDouble(I a) { return {_mm512_cvtepi32_pd(a.lo), _mm512_cvtepi32_pd(a.hi)}; }
    static void storeI(int32_t* out, I a) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), a.lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), a.hi);
    }
};

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx512x2
#define LUMEK_NARROW_SHADE_ROW shadeRowAvx512
#include "render/fast_kernel.inc"
