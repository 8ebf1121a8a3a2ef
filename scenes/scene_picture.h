// A scene file's picture as every mode renders it: the document posed at a
// time, the generator started from the state of the frame whose jitter that
// time uses, square pixels, at any size. Keeps its frame, renderer, threads
// and posed shapes between pictures of the same size.
#pragma once

#include <cstdint>
#include <memory>

#include "render/any_size.h"
#include "render/random.h"
#include "render/slots.h"
#include "scenes/scene_file.h"

namespace lumek {

// Poses `document` at `seconds` into `posed`, starts `random` (the
// generator `picture` was made with) from frame `frame`'s state and renders
// the picture.
void renderScenePicture(const SceneDocument& document, double seconds, int64_t frame,
                        AnySizeRenderer& picture, RandomStream& random, PosedScene& posed);

class ScenePicture {
  public:
    // `threads` workers share each picture (at least 1).
    explicit ScenePicture(int threads) : threads_(threads < 1 ? 1 : threads) {}
    ScenePicture(const ScenePicture&) = delete;
    ScenePicture& operator=(const ScenePicture&) = delete;

    // Renders `document` posed at `seconds` with the jitter of frame `frame`
    // at width x height (kMinPictureEdge .. kMaxPictureEdge each). Returns the
    // picture's RGBA rows, top to bottom without padding, valid until the
    // next render. Throws std::bad_alloc when memory runs out.
    const uint8_t* render(const SceneDocument& document, int32_t width, int32_t height,
                          double seconds, int64_t frame);

    // Frame `frame`: posed at its time with its own jitter.
    const uint8_t* renderFrame(const SceneDocument& document, int32_t width, int32_t height,
                               int64_t frame) {
        return render(document, width, height, sceneFrameTime(document, frame), frame);
    }
    // The moment `seconds`: with the jitter of the frame it falls in.
    const uint8_t* renderTime(const SceneDocument& document, int32_t width, int32_t height,
                              double seconds) {
        return render(document, width, height, seconds, sceneFrameAt(document, seconds));
    }

    int threads() const { return threads_; }

  private:
    int threads_;
    RandomStream random_;
    RenderSlots slots_;
    std::unique_ptr<AnySizeRenderer> picture_;
    PosedScene scene_;
};

}  // namespace lumek
