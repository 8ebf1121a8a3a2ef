// The OpenGL side of the display: projection, the fixed state with the one
// texture, and each frame's upload and quad. Knows no window system.
#pragma once

#include <cstdint>

#include "render/image.h"
#include "render/renderer.h"
#include "scenes/library.h"
#include "scenes/timeline.h"

namespace lumek::display {

// Viewport and a 45-degree perspective for a client area (height 0 counts
// as 1).
void resizeView(int width, int height);

// Creates the texture and sets the fixed state; always succeeds.
bool initGlState(bool linearFiltering);

struct QuadOptions {
    int renderSize = 64;        // the image's edge
    float quadScale = 1.625f;   // half the quad's height
    bool linearFiltering = true;
};

// Texture coordinates of the quad's edges: half a texel in with linear
// filtering, so edges do not blend with the opposite edges.
float texelInset(const QuadOptions& quad);

// Uploads `image` (quad.renderSize square) and draws it on the quad.
void drawImage(const FrameImage& image, const QuadOptions& quad);

// One frame of the show: steps the timeline, renders its list into `image`,
// uploads the image and draws it on the quad. False (with nothing drawn)
// once the show is over.
bool presentFrame(TimelineState& timeline, SceneLibrary& library, uint32_t elapsedMs,
                  RayRenderer& renderer, const FrameImage& image, const QuadOptions& quad);

}  // namespace lumek::display
