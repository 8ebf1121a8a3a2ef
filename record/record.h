// The show as a video: every frame of the 312 seconds rendered offline at
// 60 frames per second, exactly as the interactive mode would show it at
// that moment, written as a YUV4MPEG2 stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>

#include "render/random.h"
#include "render/slots.h"
#include "scenes/library.h"
#include "scenes/scene_file.h"
#include "scenes/timeline.h"
#include "util/switches.h"

namespace lumek {

constexpr int kRecordFramesPerSecond = 60;
constexpr int kRecordDefaultSize = 512;

// Show time of frame n: floor(n x 1000 / 60) milliseconds.
inline uint32_t recordFrameMs(uint64_t n) {
    return static_cast<uint32_t>(n * 1000 / kRecordFramesPerSecond);
}

// The render size "-record" uses: that of the last of -t1 ... -t5 in the
// table, or 512 without any.
int recordSize(const char* commandLine);

struct RecordEnvironment {
    SceneLibrary& library;
    RenderSlots& slots;
    RandomStream& random;
    TimelineState& timeline;
    uint32_t& elapsedMs;
    int threads = 1;
    // Writes bytes of the stream; false when the reader has gone away (or
    // the output failed otherwise), with `error` saying why.
    std::function<bool(const uint8_t* data, size_t size, std::string& error)> write = nullptr;
    bool outputIsTerminal = false;  // then no video is written into it
    std::ostream* progress = nullptr;
    bool progressIsTerminal = false;  // one line redrawn in place
    int progressColumns = 0;          // the terminal's width, 0 when not known
    std::function<bool()> stopRequested = nullptr;
    // --size: the picture's size instead of the square render size (the
    // show's view keeps its 4:3 shape; the stream says the pixels' aspect).
    std::optional<switches::PictureSize> size = std::nullopt;
    // --frames: only these frames of the whole run are written, exactly as
    // the whole run makes them.
    std::optional<switches::FrameRange> frames = std::nullopt;
};

// Frames of the whole show.
extern const uint64_t kRecordShowFrames;

// Runs the record mode when the text asks for it ("-record" anywhere) and
// returns the exit status: 0 once the whole show is written, 1 when the
// output failed (the reader went away), 2 when standard output is a
// terminal, 130 when stopped by Ctrl+C; 1, before anything is written,
// when --frames asks for frames the show does not have. Nothing when it was
// not asked for.
std::optional<int> RecordRun(const char* commandLine, RecordEnvironment& env);

// Records a scene file's animation (every frame of it, or --frames) at the
// file's size or --size and the file's frame rate. Each frame's jitter
// starts from the state the file gives that frame, so a range is exactly
// that part of the whole run. Statuses as RecordRun's; 1 before anything is
// written when --frames asks for frames the scene does not have.
int SceneRecordRun(const SceneDocument& scene, RecordEnvironment& env);

// How to use the mode, for a terminal.
const char* recordUsage();

}  // namespace lumek
