// The image and renderer a run mode creates at its start and releases at its
// end (the image first, then the renderer bound to it).
#pragma once

#include <memory>

#include "render/image.h"
#include "render/renderer.h"

namespace lumek {

struct RenderSlots {
    std::unique_ptr<FrameImage> currentImage;
    std::unique_ptr<RayRenderer> currentRenderer;

    void release() {
        currentImage.reset();
        currentRenderer.reset();
    }
};

}  // namespace lumek
