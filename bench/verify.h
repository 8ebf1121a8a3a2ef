// The benchmark's known-good pictures: one hash per frame it renders, so
// that a wrong result (an unstable overclock, a faulty core, a miscompiled
// build) is reported instead of being rated. The pictures are the same
// bytes on every platform and build, so one table serves them all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "render/image.h"

namespace lumek {

// XXH3 (64 bits) of every byte of the image: fast enough to check every
// frame of a stress run.
uint64_t frameHash(const FrameImage& image);

std::string hashHex(uint64_t hash);

// Frame 0 is the untimed warm-up (row 8); frames 1 to 32 are the timed
// ones, rows 1 to 8 four times each.
constexpr int kBenchFrames = 33;

struct BenchFrame {
    int index;       // 0 .. 32
    int row;         // 1 .. 8
    int repetition;  // 1 .. 4 (1 for the warm-up)
};

inline BenchFrame benchFrame(int index) {
    if (index == 0) return {0, 8, 1};
    return {index, (index - 1) / 4 + 1, (index - 1) % 4 + 1};
}

// A frame whose bytes differ from the known-good picture.
struct WrongFrame {
    int thread;  // 0 for the entry's frames and the one-thread rounds
    uint64_t round;
    BenchFrame frame;
    uint64_t expected;
    uint64_t actual;
};

// What every checked frame passes through. `tamper` is for tests only: it
// may change the frame before it is checked.
struct FrameCheck {
    std::function<void(FrameImage& image, int thread, uint64_t round, const BenchFrame& frame)>
        tamper;
    std::function<void(const WrongFrame&)> wrong;  // told of each wrong frame
    // The known-good hashes by frame index, when not the benchmark's own
    // (a scene's, from its first pass).
    const std::vector<uint64_t>* expected = nullptr;

    // Hashes the frame and compares it with its known-good hash.
    bool check(FrameImage& image, int thread, uint64_t round, const BenchFrame& frame) const;
};

// The known-good hash of each frame of a benchmark in a fresh process: the
// walk's draws, then the warm-up, then the timed frames.
uint64_t expectedFrameHash(int index);

// What a benchmark computes, as one value: XXH3 (64 bits) over the 33
// known-good hashes (8 bytes each, little-endian, warm-up first), then the
// image's width, its height and the number of timed frames (4 bytes each,
// little-endian). Two results measured the same work exactly when these
// agree.
uint64_t benchWorkloadId();

}  // namespace lumek
