// The program's pseudo-random stream.
//
// It reproduces the sequence of the Windows C runtime's rand(): a 32-bit
// linear congruential state that starts at 1 and is never seeded. Using our
// own generator (never the C library's) makes every picture identical on
// every platform and build, and lets the parallel renderer jump ahead by any
// number of draws in O(log n).
#pragma once

#include <cstdint>

namespace lumek {

// One affine step x -> a * x + c (mod 2^32), composed n times.
struct AffineStep {
    uint32_t a = 1;
    uint32_t c = 0;

    // This step followed by `next`.
    constexpr AffineStep then(AffineStep next) const {
        return {next.a * a, next.a * c + next.c};
    }
    constexpr uint32_t apply(uint32_t x) const { return a * x + c; }
};

class RandomStream {
  public:
    static constexpr uint32_t kMultiplier = 214013u;
    static constexpr uint32_t kIncrement = 2531011u;
    static constexpr uint32_t kStartState = 1u;

    // One draw: a value in 0..32767.
    int next() {
        state_ = state_ * kMultiplier + kIncrement;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

    // Skips n draws as if next() had been called n times.
    void advance(uint64_t n) { state_ = stepsOf(n).apply(state_); }

    // The composition of n single steps, by repeated squaring.
    static constexpr AffineStep stepsOf(uint64_t n) {
        AffineStep result{};
        AffineStep power{kMultiplier, kIncrement};
        while (n != 0) {
            if (n & 1u) result = result.then(power);
            power = power.then(power);
            n >>= 1;
        }
        return result;
    }

    uint32_t state() const { return state_; }
    void setState(uint32_t state) { state_ = state; }

  private:
    uint32_t state_ = kStartState;
};

// The one stream the whole program draws from (jitter and benchmark walk).
RandomStream& programRandom();

}  // namespace lumek
