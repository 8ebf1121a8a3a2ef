// Prints the numbers the pictures are made of: the renderer's direction
// table and, every quarter second of the whole show, the phase, the view and
// a hash of a small rendering; then the benchmark's workload id. Built for
// Linux and for Windows; the Wine tests compare the two outputs line by
// line, so a C runtime whose sin or cos rounds one value differently is
// found and named. With --records it reads result records from stdin
// instead and says of each line whether the benchmark would read it (the
// web page's records must be). With --record it writes one record of made-up
// figures, every field present, and with --score ONE_MS ONE_SPREAD ONE_WRONG
// ALL_MS ALL_SPREAD ALL_WRONG the score line of those figures: the web
// page's must have the same fields and say the same.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bench/export_json.h"
#include "bench/result.h"
#include "bench/round.h"
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
    if (argc > 1 && std::strcmp(argv[1], "--record") == 0) {
        BenchResult r;
        r.version = "0";
        r.compiler = "compiler";
        r.target = "target";
        r.rowShader = "portable";
        r.utc = "2026-12-08T12:34:56Z";
        r.label = "label";
        r.local = LocalTime{8, 12, 2026, 13, 34};
        r.renderMs = 1000;
        r.cpuMs = 100;
        for (RoundFigures* f : {&r.oneThread, &r.allThreads}) {
            const int threads = f == &r.oneThread ? 1 : 2;
            f->threads = threads;
            for (int t = 0; t < threads; ++t) {
                ThreadRounds slot;
                slot.thread = t;
                slot.roundNs = {45000000, 46000000, 44000000};
                f->perThread.push_back(slot);
            }
            summarizeFigures(*f);
        }
        std::printf("%s\n", resultJson(r).c_str());
        return 0;
    }
    if (argc == 8 && std::strcmp(argv[1], "--score") == 0) {
        const auto figures = [&argv](int at) {
            RoundFigures f = roundFigures(1, 0, std::strtoull(argv[at + 2], nullptr, 10),
                                          std::strtod(argv[at], nullptr));
            f.spread = std::strtod(argv[at + 1], nullptr);
            return f;
        };
        std::printf("%s\n", scoreLine(figures(2), figures(5)).c_str());
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
