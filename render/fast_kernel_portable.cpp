// The fast pixel pass for any processor: four pixels at once over GCC and
// Clang vector extensions, as two vectors of two doubles, which each target
// lowers to what it has (SSE2 on x86-64, NEON on ARM64, 128-bit SIMD on
// WebAssembly). Masks are lanes of all ones or all zeros, as with SSE2 and
// AVX2.
//
// Conversions between widths are written the way the compilers turn them
// into whole-register instructions: floats and doubles through vectors of
// four (GCC 12 converts a vector of two lane by lane on ARM64), except on
// WebAssembly, where clang 14 converts vectors of two only; doubles and
// 32-bit integers directly on x86 (SSE2 has no 64-bit integer conversion),
// through 64-bit integers on ARM64 (NEON has no direct one), and elsewhere
// (WebAssembly, whose conversions clang 14 checks lane by lane) doubles to
// integers by adding 2^52, whose sum holds the rounded number in its low
// bits.
#include <cstdint>
#include <cstring>

#include "render/fast_kernel.h"

namespace {

#if defined(__wasm__)
constexpr bool kFloatsByHalves = true;
#else
constexpr bool kFloatsByHalves = false;
#endif

enum class IntegerRoute { kDirect, kThroughLong, kThroughBits };
#if defined(__x86_64__) || defined(__i386__)
constexpr IntegerRoute kIntegers = IntegerRoute::kDirect;
#elif defined(__aarch64__) || defined(__ARM_NEON)
constexpr IntegerRoute kIntegers = IntegerRoute::kThroughLong;
#else
constexpr IntegerRoute kIntegers = IntegerRoute::kThroughBits;
#endif

typedef double D2 __attribute__((vector_size(16)));
typedef int64_t L2 __attribute__((vector_size(16)));
typedef int32_t I2 __attribute__((vector_size(8)));
typedef double D4 __attribute__((vector_size(32)));
typedef int64_t L4 __attribute__((vector_size(32)));
typedef float F2 __attribute__((vector_size(8)));
typedef float F4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));

template <class To, class From>
To as(From v) {
    static_assert(sizeof(To) == sizeof(From));
    To out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

// Two double lanes.
struct Portable {
    static constexpr int kLanes = 2;
    using D = D2;
    using I = I2;
    using C = I2;

    static D set(double v) { return D{} + v; }
    static D zero() { return D{}; }
    static D allOnes() { return as<D>(L2{} - 1); }
    static D add(D a, D b) { return a + b; }
    static D sub(D a, D b) { return a - b; }
    static D mul(D a, D b) { return a * b; }
    static D div(D a, D b) { return a / b; }
    static D neg(D a) { return as<D>(as<L2>(a) ^ (L2{} + INT64_MIN)); }
    static D abs(D a) { return as<D>(as<L2>(a) & (L2{} + INT64_MAX)); }
    static D min(D a, D b) { return a < b ? a : b; }
    // Ordered comparisons: false where either side is not a number.
    static D lt(D a, D b) { return as<D>(a < b); }
    static D le(D a, D b) { return as<D>(a <= b); }
    static D gt(D a, D b) { return as<D>(a > b); }
    static D ge(D a, D b) { return as<D>(a >= b); }
    static D bitAnd(D a, D b) { return as<D>(as<L2>(a) & as<L2>(b)); }
    static D bitOr(D a, D b) { return as<D>(as<L2>(a) | as<L2>(b)); }
    static D andNot(D a, D b) { return as<D>(~as<L2>(a) & as<L2>(b)); }  // ~a & b
    // Equal, or either side not a number.
    static D eqOrUnordered(D a, D b) { return as<D>((a == b) | (a != a) | (b != b)); }
    static D select(D mask, D a, D b) {
        const L2 m = as<L2>(mask);
        return as<D>((m & as<L2>(a)) | (~m & as<L2>(b)));
    }
    // The two mask lanes narrowed to 32 bits each, as one number.
    static uint64_t folded(D mask) {
        return as<uint64_t>(__builtin_convertvector(as<L2>(mask), I2));
    }
    static bool any(D mask) { return folded(mask) != 0; }
    static bool all(D mask) { return folded(mask) == ~uint64_t{0}; }

    // 64-bit integer arithmetic on the lanes' bits, for the nearest shapes'
    // keys; the larger key, keeping the second where the first is not a
    // number.
    static D setBits(uint64_t v) { return as<D>(L2{} + int64_t(v)); }
    static D addBits(D a, D b) { return as<D>(as<L2>(a) + as<L2>(b)); }
    static D subBits(D a, D b) { return as<D>(as<L2>(a) - as<L2>(b)); }
    static D maxKey(D candidate, D key) { return candidate > key ? candidate : key; }
};

#include "render/fast_lane_pairs.inc"

// Two of those, four pixels: conversions, colours and integer sums work on
// all four lanes at once.
struct PortablePair : LanePair<Portable> {
    using I = I4;
    using C = I4;

    static D4 joined(D a) { return __builtin_shufflevector(a.lo, a.hi, 0, 1, 2, 3); }
    static D split(D4 a) {
        return {__builtin_shufflevector(a, a, 0, 1), __builtin_shufflevector(a, a, 2, 3)};
    }

    static D widened(F4 f) {
        if constexpr (kFloatsByHalves)
            return {__builtin_convertvector(__builtin_shufflevector(f, f, 0, 1), D2),
                    __builtin_convertvector(__builtin_shufflevector(f, f, 2, 3), D2)};
        else
            return split(__builtin_convertvector(f, D4));
    }
    static D2 roundHalf(D2 a) {
        F4 f = __builtin_shufflevector(__builtin_convertvector(a, F2), F2{}, 0, 1, 2, 3);
#if defined(__wasm_simd128__)
        // Keeps clang from merging the two conversions into lane-by-lane code.
        __asm__("" : "+r"(f));
#endif
        return __builtin_convertvector(__builtin_shufflevector(f, f, 0, 1), D2);
    }
    static D roundToFloat(D a) {
        if constexpr (kFloatsByHalves)
            return {roundHalf(a.lo), roundHalf(a.hi)};
        else
            return widened(__builtin_convertvector(joined(a), F4));
    }
    static D loadFloats(const float* p) {
        F4 f;
        std::memcpy(&f, p, sizeof f);
        return widened(f);
    }
    static D gather(const float* table, const int32_t* index) {
        return widened(F4{table[index[0]], table[index[1]], table[index[2]], table[index[3]]});
    }
    // Callers keep every lane within 0 ... 2^31 (weights and bytes).
    static I truncate(D a) {
        if constexpr (kIntegers == IntegerRoute::kDirect) {
            return __builtin_shufflevector(__builtin_convertvector(a.lo, I2),
                                           __builtin_convertvector(a.hi, I2), 0, 1, 2, 3);
        } else if constexpr (kIntegers == IntegerRoute::kThroughLong) {
            return __builtin_shufflevector(as<I4>(__builtin_convertvector(a.lo, L2)),
                                           as<I4>(__builtin_convertvector(a.hi, L2)), 0, 2, 4, 6);
        } else {
            return __builtin_shufflevector(as<I4>(truncatedBits(a.lo)), as<I4>(truncatedBits(a.hi)),
                                           0, 2, 4, 6);
        }
    }
    // a + 2^52 holds a rounded to the nearest whole number in its low bits;
    // one less where that rounded up.
    static L2 truncatedBits(D2 a) {
        const D2 big = D2{} + 0x1p52;
        const D2 sum = a + big;
        return as<L2>(sum) + as<L2>(sum - big > a);
    }
    static D toDouble(I a) {
        if constexpr (kIntegers != IntegerRoute::kThroughLong)
            return {__builtin_convertvector(__builtin_shufflevector(a, a, 0, 1), D2),
                    __builtin_convertvector(__builtin_shufflevector(a, a, 2, 3), D2)};
        else
            return split(__builtin_convertvector(__builtin_convertvector(a, L4), D4));
    }
    static void storeI(int32_t* out, I a) { std::memcpy(out, &a, sizeof a); }

    // The four lanes' shapes' falloffs and colours.
    static void loadNarrow(const lumek::fast::FlatShape::Narrow* const* s, D& falloff, C& red,
                           C& green, C& blue) {
        falloff = widened(F4{s[0]->falloff, s[1]->falloff, s[2]->falloff, s[3]->falloff});
        red = C{s[0]->red, s[1]->red, s[2]->red, s[3]->red};
        green = C{s[0]->green, s[1]->green, s[2]->green, s[3]->green};
        blue = C{s[0]->blue, s[1]->blue, s[2]->blue, s[3]->blue};
    }
    static C setC(int32_t v) { return C{} + v; }
    static D fromC(C a) { return toDouble(a); }
    // Integer sums: whole weights and colours whose products fit in 32 bits.
    static C weightLanes(D w) { return truncate(w); }
    static C addC(C a, C b) { return a + b; }
    static C shiftedProduct(C k, C c) { return (k * c) >> 16; }
    // sum / 16 rounded down and saturated to 0 ... 255.
    static I bytesOfSum(C sum) {
        const C v = sum >> 4;
        const C low = v > 0 ? v : C{};
        return low < 255 ? low : C{} + 255;
    }
};

#include "render/fast_lane_masks.inc"

using Isa = LaneMaskOps<PortablePair>;

}  // namespace

#define LUMEK_SHADE_ROW shadeRowPortable
#include "render/fast_kernel.inc"
