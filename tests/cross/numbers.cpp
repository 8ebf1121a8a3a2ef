// Prints the numbers the pictures are made of: the renderer's direction
// table and, every quarter second of the whole show, the phase, the view and
// a hash of a small rendering; then the benchmark's workload id. Built for
// Linux and for Windows; the Wine tests compare the two outputs line by
// line, so a C runtime whose sin or cos rounds one value differently is
// found and named. With --records it reads result records from stdin
// instead and says of each line whether the benchmark would read it (the
// web page's records must be).
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "bench/export_json.h"
#include "bench/verify.h"
#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"
#include "scenes/timeline.h"
#include "support/sha256.h"

namespace {

uint32_t bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lumek;
    if (argc > 1 && std::strcmp(argv[1], "--records") == 0) {
        PastResult past;
        for (std::string line; std::getline(std::cin, line);)
            std::printf("%s\n", readPastResult(line, past) ? "record" : "foreign");
        return 0;
    }
    FrameImage image(64, 64, 1.333f);
    RandomStream random;
    RayRenderer renderer(&image, random, 1);
    for (int i = 0; i < kDirectionCount; ++i)
        std::printf("direction %d sin %08" PRIx32 " cos %08" PRIx32 "\n", i,
                    bits(renderer.sinAt(i)), bits(renderer.cosAt(i)));

    SceneLibrary library;
    buildSceneLibrary(library);
    TimelineState timeline;
    for (uint32_t t = 0; t <= 313000; t += 250) {
        Vec2 centre, axisX, axisY;
        float height = 0;
        const bool going = stepTimeline(timeline, library, t, centre, axisX, axisY, height);
        renderer.render(*timeline.currentShapes, centre, axisX, axisY, height);
        const size_t bytes = size_t(image.getWidth()) * image.getHeight() * 4;
        std::printf("t %" PRIu32 " phase %" PRIu32 " %d view %08" PRIx32 " %08" PRIx32 " %08" PRIx32
                    " %08" PRIx32 " %08" PRIx32 " %08" PRIx32 " %08" PRIx32
                    " picture %s random %08" PRIx32 "\n",
                    t, timeline.timelinePhase, going ? 1 : 0, bits(centre.x), bits(centre.y),
                    bits(axisX.x), bits(axisX.y), bits(axisY.x), bits(axisY.y), bits(height),
                    test::sha256Hex(image.pixels.get(), bytes).c_str(), random.state());
    }
    deleteSceneShapes(library);
    std::printf("workload %s\n", hashHex(benchWorkloadId()).c_str());
    return 0;
}
