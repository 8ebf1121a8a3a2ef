#include "record/record.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "record/y4m.h"
#include "render/any_size.h"
#include "render/renderer.h"
#include "scenes/scene_picture.h"
#include "util/progress.h"
#include "util/switches.h"

namespace lumek {

namespace {

// Frames until the timeline reports the end: the one at 312,000 ms is the
// last, the next call (at 312,016 ms) ends the show.
constexpr uint64_t kShowFrames = 312000ull * kRecordFramesPerSecond / 1000 + 1;

// The show's view: its width over its height.
constexpr float kShowAspect = 1.333f;

// How far a recording has come, on the progress stream: on a terminal one
// line redrawn twice a second, elsewhere a line every tenth of the frames.
class RecordProgress {
  public:
    // `timeName`: what the video's clock is called ("show time").
    RecordProgress(RecordEnvironment& env, uint64_t total, const char* timeName)
        : env_(env),
          line_(env.progress, env.progressIsTerminal, env.progressColumns),
          total_(total),
          timeName_(timeName),
          tenth_(std::max<uint64_t>(1, total / 10)),
          nextTenth_(tenth_),
          start_(std::chrono::steady_clock::now()) {
        line_.measureWith(env.measureColumns);
    }

    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

    // After the `written`th frame, which shows `videoSeconds` of the video.
    void frameWritten(uint64_t written, double videoSeconds) {
        if (env_.progress == nullptr) return;
        if (env_.progressIsTerminal) {
            if (seconds() < nextRedraw_) return;
            nextRedraw_ = seconds() + 0.5;
        } else if (written == nextTenth_) {
            nextTenth_ += tenth_;
        } else {
            return;
        }
        const double rate = seconds() > 0 ? static_cast<double>(written) / seconds() : 0;
        const double left = rate > 0 ? static_cast<double>(total_ - written) / rate : 0;
        char text[160];
        std::snprintf(text, sizeof text, "%3d %%  %llu %s  %s %s  %.0f frames/s  %s left",
                      static_cast<int>((written * 1000 / total_ + 5) / 10),
                      static_cast<unsigned long long>(written), written == 1 ? "frame" : "frames",
                      timeName_,
                      progress::clock(videoSeconds).c_str(), rate, progress::clock(left).c_str());
        line_.show(text);
    }

    void finish() { line_.finish(); }

  private:
    RecordEnvironment& env_;
    progress::Line line_;
    uint64_t total_;
    const char* timeName_;
    uint64_t tenth_;  // frames between two lines off a terminal
    uint64_t nextTenth_;
    double nextRedraw_ = 0;
    std::chrono::steady_clock::time_point start_;
};

// The video on standard output, and how its writing ended.
class VideoStream {
  public:
    explicit VideoStream(RecordEnvironment& env) : env_(env) {}

    // Writes the header or a whole frame: 0 when every byte went out; 130
    // when a stop ended a write the reader did not take (of a frame, the
    // part that went out is kept to be said), else 1.
    int write(const void* data, size_t size, bool isFrame) {
        size_t written = 0;
        if (env_.write(static_cast<const uint8_t*>(data), size, written, error_)) return 0;
        const bool stopped = env_.stopRequested && env_.stopRequested() && error_ == "stopped";
        if (stopped && isFrame) cut_ = written;
        return stopped ? 130 : 1;
    }

    // The run's last line, for `summary` ("12 frames in 1.0 s").
    void finish(std::ostream& out, int status, const char* summary) const {
        if (status == 0)
            out << "Recorded " << summary << ".\n";
        else if (status == 130 && cut_ == 0)
            out << "Stopped after " << summary << ".\n";
        else if (status == 130)
            out << "Stopped after " << summary << "; the reader was not reading, so the "
                << "stream ends with " << cut_ << " bytes of the next frame (a cut frame).\n";
        else
            out << "lumek: the video stream could not be written (" << error_ << ") after "
                << summary << ".\n";
        out << std::flush;
    }

  private:
    RecordEnvironment& env_;
    std::string error_;
    size_t cut_ = 0;  // bytes of a frame that a stop cut short, 0 when none
};

// Whether --frames asks for frames the video has; says so when not.
bool rangeFits(std::ostream* progress, const char* what, uint64_t frames, uint64_t first,
               uint64_t last) {
    if (last < frames) return true;
    if (progress)
        *progress << "lumek: " << what << " has " << frames << " frames, 0-" << frames - 1
                  << "; --frames asks for " << first << "-" << last << "\n"
                  << std::flush;
    return false;
}

}  // namespace

const uint64_t kRecordShowFrames = kShowFrames;

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
    if (env.outputIsTerminal) {
        if (progress) *progress << recordUsage() << std::flush;
        return 2;
    }

    const uint64_t first = env.frames ? env.frames->first : 0;
    const uint64_t last = env.frames ? env.frames->last : kShowFrames - 1;
    if (!rangeFits(progress, "the show", kShowFrames, first, last)) return 1;
    const uint64_t total = last - first + 1;

    const int size = recordSize(commandLine);
    const int width = env.size ? env.size->width : size;
    const int height = env.size ? env.size->height : size;
    buildSceneLibrary(env.library);
    // The show's view is 1.333 times as wide as high, whatever the pixels.
    AnySizeRenderer picture(env.slots, width, height, kShowAspect, env.random, env.threads);
    picture.renderer().prepareFor(largestScene(env.library));

    RecordProgress shown(env, total, "show time");
    VideoStream stream(env);
    const std::string header = y4mHeader(width, height, kShowAspect);
    int status = stream.write(header.data(), header.size(), false);
    std::vector<uint8_t> frame;
    uint64_t written = 0;
    uint32_t lastMs = 0;
    for (uint64_t n = 0; status == 0 && n <= last; ++n) {
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
        const PictureView view{viewCentre, axisX, axisY, viewHeight};
        // The frames before the range are passed over: their pixels are not
        // needed, but the generator must draw for them what they draw.
        if (n < first) {
            picture.skip(*env.timeline.currentShapes, view);
            continue;
        }
        picture.render(*env.timeline.currentShapes, view);
        y4mFrame(picture.pixels(), width, height, frame);
        status = stream.write(frame.data(), frame.size(), true);
        if (status != 0) break;
        ++written;
        lastMs = env.elapsedMs;
        shown.frameWritten(written, lastMs / 1000.0);
    }

    deleteSceneShapes(env.library);
    env.slots.release();
    if (progress) {
        shown.finish();
        char summary[200];
        std::snprintf(summary, sizeof summary, "%llu frames (show time %s) in %.1f s",
                      static_cast<unsigned long long>(written),
                      progress::clock(lastMs / 1000.0).c_str(), shown.seconds());
        stream.finish(*progress, status, summary);
    }
    return status;
}

int SceneRecordRun(const SceneDocument& scene, RecordEnvironment& env) {
    std::ostream* progress = env.progress;
    if (env.outputIsTerminal) {
        if (progress)
            *progress << "lumek: --scene FILE -record writes a video stream (YUV4MPEG2); send it\n"
                         "to a program or a file, not to the terminal:\n"
                         "  lumek --scene FILE -record | ffmpeg -i - video.mp4\n"
                      << std::flush;
        return 2;
    }
    const uint64_t frames = static_cast<uint64_t>(scene.frameCount());
    const uint64_t first = env.frames ? env.frames->first : 0;
    const uint64_t last = env.frames ? env.frames->last : frames - 1;
    if (!rangeFits(progress, "the scene", frames, first, last)) return 1;
    const int width = env.size ? env.size->width : scene.pictureWidth();
    const int height = env.size ? env.size->height : scene.pictureHeight();
    AnySizeRenderer picture(env.slots, width, height, 1.0f, env.random, env.threads);
    PosedScene posed;

    RecordProgress shown(env, last - first + 1, "scene time");
    VideoStream stream(env);
    const std::string header = y4mSquarePixelHeader(width, height, scene.framesPerSecond());
    int status = stream.write(header.data(), header.size(), false);
    std::vector<uint8_t> frame;
    uint64_t written = 0;
    for (uint64_t n = first; status == 0 && n <= last; ++n) {
        if (env.stopRequested && env.stopRequested()) {
            status = 130;
            break;
        }
        const int64_t number = static_cast<int64_t>(n);
        renderScenePicture(scene, sceneFrameTime(scene, number), number, picture, env.random,
                           posed);
        y4mFrame(picture.pixels(), width, height, frame);
        status = stream.write(frame.data(), frame.size(), true);
        if (status != 0) break;
        ++written;
        shown.frameWritten(written, sceneFrameTime(scene, number));
    }
    env.slots.release();
    if (progress) {
        shown.finish();
        char summary[120];
        std::snprintf(summary, sizeof summary, "%llu %s in %.1f s",
                      static_cast<unsigned long long>(written), written == 1 ? "frame" : "frames",
                      shown.seconds());
        stream.finish(*progress, status, summary);
    }
    return status;
}

}  // namespace lumek
