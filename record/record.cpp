#include "record/record.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "record/y4m.h"
#include "render/renderer.h"
#include "util/progress.h"
#include "util/switches.h"

namespace lumek {

namespace {

// Frames until the timeline reports the end: the one at 312,000 ms is the
// last, the next call (at 312,016 ms) ends the show.
constexpr uint64_t kShowFrames = 312000ull * kRecordFramesPerSecond / 1000 + 1;

std::string progressLine(uint64_t frames, uint32_t showMs, double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(frames) / seconds : 0;
    const double left = rate > 0 ? static_cast<double>(kShowFrames - frames) / rate : 0;
    char text[160];
    std::snprintf(text, sizeof text, "%3d %%  %llu frames  show time %s  %.0f frames/s  %s left",
                  static_cast<int>((frames * 1000 / kShowFrames + 5) / 10),
                  static_cast<unsigned long long>(frames), progress::clock(showMs / 1000.0).c_str(),
                  rate, progress::clock(left).c_str());
    return text;
}

}  // namespace

const char* recordUsage() {
    return "lumek -record writes the whole show as a video stream (YUV4MPEG2) to standard\n"
           "output; send it to a program or a file, not to the terminal:\n"
           "  lumek -record | ffmpeg -i - show.mp4\n"
           "  lumek -record -t3 | mpv -\n"
           "  lumek -record > show.y4m\n";
}

int recordSize(const char* commandLine) {
    return switches::renderSize(commandLine, kRecordDefaultSize);
}

std::optional<int> RecordRun(const char* commandLine, RecordEnvironment& env) {
    if (!switches::asks(commandLine, switches::kRecord)) return std::nullopt;
    std::ostream* progress = env.progress;
    progress::Line line(progress, env.progressIsTerminal, env.progressColumns);
    line.measureWith(env.measureColumns);
    if (env.outputIsTerminal) {
        if (progress) *progress << recordUsage() << std::flush;
        return 2;
    }

    const int size = recordSize(commandLine);
    buildSceneLibrary(env.library);
    env.slots.currentImage = std::make_unique<FrameImage>(size, size, 1.333f);
    env.slots.currentRenderer =
        std::make_unique<RayRenderer>(env.slots.currentImage.get(), env.random, env.threads);
    RayRenderer& renderer = *env.slots.currentRenderer;
    renderer.prepareFor(largestScene(env.library));
    const FrameImage& image = *env.slots.currentImage;

    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    int status = 0;
    std::string error;
    const std::string header = y4mHeader(size);
    std::vector<uint8_t> frame;
    uint64_t written = 0;
    uint32_t lastMs = 0;
    double nextRedraw = 0;
    uint64_t nextTenth = kShowFrames / 10;
    size_t cut = 0;  // bytes of a frame that a stop cut short, 0 when none
    // A stop that ends a write the reader did not take is a stop (130),
    // not a failed output.
    auto failed = [&] {
        return env.stopRequested && env.stopRequested() && error == "stopped" ? 130 : 1;
    };
    size_t headerWritten = 0;
    if (!env.write(reinterpret_cast<const uint8_t*>(header.data()), header.size(), headerWritten,
                   error))
        status = failed();
    for (uint64_t n = 0; status == 0; ++n) {
        if (env.stopRequested && env.stopRequested()) {
            status = 130;
            break;
        }
        // As the main loop would show it at this moment.
        env.elapsedMs = recordFrameMs(n);
        Vec2 viewCentre, axisX, axisY;
        float viewHeight = 1.0f;
        if (!stepTimeline(env.timeline, env.library, env.elapsedMs, viewCentre, axisX, axisY,
                          viewHeight))
            break;
        renderer.render(*env.timeline.currentShapes, viewCentre, axisX, axisY, viewHeight);
        y4mFrame(image, frame);
        size_t frameWritten = 0;
        if (!env.write(frame.data(), frame.size(), frameWritten, error)) {
            status = failed();
            if (status == 130) cut = frameWritten;
            break;
        }
        ++written;
        lastMs = env.elapsedMs;
        if (progress == nullptr) continue;
        // A terminal gets one line, redrawn twice a second; anything else a
        // line every tenth of the show.
        if (env.progressIsTerminal) {
            if (seconds() < nextRedraw) continue;
            nextRedraw = seconds() + 0.5;
            line.show(progressLine(written, lastMs, seconds()));
        } else if (written == nextTenth) {
            nextTenth += kShowFrames / 10;
            line.show(progressLine(written, lastMs, seconds()));
        }
    }

    deleteSceneShapes(env.library);
    env.slots.release();
    if (progress) {
        line.finish();
        char summary[200];
        std::snprintf(summary, sizeof summary, "%llu frames (show time %s) in %.1f s",
                      static_cast<unsigned long long>(written),
                      progress::clock(lastMs / 1000.0).c_str(), seconds());
        if (status == 0)
            *progress << "Recorded " << summary << ".\n";
        else if (status == 130 && cut == 0)
            *progress << "Stopped after " << summary << ".\n";
        else if (status == 130)
            *progress << "Stopped after " << summary << "; the reader was not reading, so the "
                      << "stream ends with " << cut << " bytes of the next frame (a cut frame).\n";
        else
            *progress << "lumek: the video stream could not be written (" << error << ") after "
                      << summary << ".\n";
        *progress << std::flush;
    }
    return status;
}

}  // namespace lumek
