// The fast pixel pass for processors with AVX-512 (F, DQ, VL): eight pixels
// at once. Built with those instruction sets (and without fused
// multiply-add), used only where the processor has them.
#include <immintrin.h>

#include "render/fast_kernel.h"

namespace {

struct Isa {
    static constexpr int kLanes = 8;
    using D = __m512d;
    using M = __mmask8;
    using I = __m256i;

    static D set(double v) { return _mm512_set1_pd(v); }
    static D zero() { return _mm512_setzero_pd(); }
    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D div(D a, D b) { return _mm512_div_pd(a, b); }
    static D neg(D a) {
        return _mm512_castsi512_pd(
            _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(INT64_MIN)));
    }
    static D abs(D a) { return _mm512_abs_pd(a); }
    // Ordered, quiet comparisons: false where either side is not a number.
    static M lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M le(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M gt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
    static M ge(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    // Comparisons restricted to the lanes of a mask, in one instruction.
    static M ltWhere(M m, D a, D b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
    static M gtWhere(M m, D a, D b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_GT_OQ); }
    static M eqWhere(M m, D a, D b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_EQ_OQ); }
    static M eqOrUnorderedWhere(M m, D a, D b) {
        return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_EQ_UQ);
    }
    static M none() { return 0; }
    static M mOr(M a, M b) { return static_cast<M>(a | b); }
    static M mAndNot(M a, M b) { return static_cast<M>(~a & b); }
    static M mNot(M a) { return static_cast<M>(~a); }
    static D select(M mask, D a, D b) { return _mm512_mask_blend_pd(mask, b, a); }
    static D zeroWhere(M mask, D a) { return _mm512_maskz_mov_pd(mNot(mask), a); }
    // min(max(a, 0), limit) where `mask`, 0 elsewhere; max gives its second
    // operand, 0, for a NaN.
    static D clampedWhere(M mask, D a, D limit) {
        return _mm512_min_pd(_mm512_maskz_max_pd(mask, a, _mm512_setzero_pd()), limit);
    }
    static bool any(M mask) { return mask != 0; }
    static bool all(M mask) { return mask == 0xFF; }
    static D roundToFloat(D a) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(a)); }
    // The nearest shapes' distances and colours stay in doubles: eight
    // lanes in half a register would save no instruction.
    static constexpr bool kNarrowNearest = false;
    using T = D;
    using C = D;
    static T setT(float v) { return set(v); }
    static C setC(int32_t v) { return set(v); }
    static T roundT(D a) { return roundToFloat(a); }
    static D fromT(T a) { return a; }
    static D fromC(C a) { return a; }
    static D floor(D a) {
        return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    }
    static D loadFloats(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }
    // The slot's 32 entries sit in two registers; a permute picks the lanes.
    static D gather(const float* slot, const int32_t* index) {
        const __m512i i =
            _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(index)));
        const __m512 picked =
            _mm512_permutex2var_ps(_mm512_loadu_ps(slot), i, _mm512_loadu_ps(slot + 16));
        return _mm512_cvtps_pd(_mm512_castps512_ps256(picked));
    }

    static I truncate(D a) { return _mm512_cvttpd_epi32(a); }
    static D toDouble(I a) { return _mm512_cvtepi32_pd(a); }
    static void storeI(int32_t* out, I a) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), a);
    }
};

}  // namespace

#define LUMEK_SHADE_ROW shadeRowAvx512
#include "render/fast_kernel.inc"
