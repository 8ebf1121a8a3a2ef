// The fast pixel pass for any processor: two pixels at once over GCC and
// Clang vector extensions, which each target lowers to what it has (SSE2
// on x86-64, NEON on ARM64, 128-bit SIMD or scalar code on WebAssembly).
// Masks are lanes of all ones or all zeros, as with SSE2 and AVX2.
#include <cstdint>
#include <cstring>

#include "render/fast_kernel.h"

namespace {

struct Base {
    static constexpr int kLanes = 2;
    typedef double D __attribute__((vector_size(16)));
    typedef int64_t Bits __attribute__((vector_size(16)));
    typedef float F __attribute__((vector_size(8)));
    typedef int32_t I __attribute__((vector_size(8)));
    using C = I;  // colours

    static Bits bits(D a) {
        Bits b;
        std::memcpy(&b, &a, sizeof b);
        return b;
    }
    static D fromBits(Bits b) {
        D a;
        std::memcpy(&a, &b, sizeof a);
        return a;
    }

    static D set(double v) { return D{v, v}; }
    static D zero() { return set(0.0); }
    static D allOnes() { return fromBits(Bits{-1, -1}); }
    static D add(D a, D b) { return a + b; }
    static D sub(D a, D b) { return a - b; }
    static D mul(D a, D b) { return a * b; }
    static D div(D a, D b) { return a / b; }
    static D neg(D a) { return fromBits(bits(a) ^ (Bits{} + INT64_MIN)); }
    static D abs(D a) { return fromBits(bits(a) & (Bits{} + INT64_MAX)); }
    static D min(D a, D b) { return select(lt(a, b), a, b); }
    // Ordered comparisons: false where either side is not a number.
    static D lt(D a, D b) { return fromBits(a < b); }
    static D le(D a, D b) { return fromBits(a <= b); }
    static D gt(D a, D b) { return fromBits(a > b); }
    static D ge(D a, D b) { return fromBits(a >= b); }
    static D bitAnd(D a, D b) { return fromBits(bits(a) & bits(b)); }
    static D bitOr(D a, D b) { return fromBits(bits(a) | bits(b)); }
    static D andNot(D a, D b) { return fromBits(~bits(a) & bits(b)); }  // ~a & b
    // Equal, or either side not a number.
    static D eqOrUnordered(D a, D b) { return fromBits((a == b) | (a != a) | (b != b)); }
    static D select(D mask, D a, D b) {
        const Bits m = bits(mask);
        return fromBits((m & bits(a)) | (~m & bits(b)));
    }
    static bool any(D mask) {
        const Bits m = bits(mask);
        return (m[0] | m[1]) != 0;
    }
    static bool all(D mask) {
        const Bits m = bits(mask);
        return (m[0] & m[1]) != 0;
    }
    static D roundToFloat(D a) { return __builtin_convertvector(__builtin_convertvector(a, F), D); }
    static D loadFloats(const float* p) {
        F f;
        std::memcpy(&f, p, sizeof f);
        return __builtin_convertvector(f, D);
    }
    static D gather(const float* table, const int32_t* index) {
        return D{table[index[0]], table[index[1]]};
    }

    // Callers keep every lane within the 32-bit range.
    static I truncate(D a) { return __builtin_convertvector(a, I); }
    static D toDouble(I a) { return __builtin_convertvector(a, D); }
    static void storeI(int32_t* out, I a) { std::memcpy(out, &a, sizeof a); }

    // 64-bit integer arithmetic on the lanes' bits, for the nearest shapes'
    // keys; the larger key, keeping the second where the first is not a
    // number.
    static D setBits(uint64_t v) { return fromBits(Bits{} + int64_t(v)); }
    static D addBits(D a, D b) { return fromBits(bits(a) + bits(b)); }
    static D subBits(D a, D b) { return fromBits(bits(a) - bits(b)); }
    static D maxKey(D candidate, D key) { return select(gt(candidate, key), candidate, key); }
    // The two lanes' shapes' falloffs and colours.
    static void loadNarrow(const lumek::fast::FlatShape::Narrow* const* s, D& falloff, C& red,
                           C& green, C& blue) {
        falloff = D{s[0]->falloff, s[1]->falloff};
        red = C{s[0]->red, s[1]->red};
        green = C{s[0]->green, s[1]->green};
        blue = C{s[0]->blue, s[1]->blue};
    }
    static C setC(int32_t v) { return C{v, v}; }
    static D fromC(C a) { return __builtin_convertvector(a, D); }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<Base>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowPortable
#include "render/fast_kernel.inc"
