// Pictures of any size from 1 x 1 to 16384 x 16384.
//
// The renderer works in square tiles whose edge E is chosen by the width
// (8 pixels up to 128 wide, 16 up to 256, 32 beyond), and its frame must be
// whole tiles. A W x H picture is therefore defined as follows:
//
// - Wp and Hp are W and H rounded up to the next multiple of E (E chosen by
//   W; Wp chooses the same E).
// - When Wp = W and Hp = H the picture is the renderer's frame itself,
//   rendered with the picture's view unchanged.
// - Otherwise a Wp x Hp frame is rendered with the view's axes unchanged,
//   its height h' = float(double(h) * Hp / H) (h itself when Hp = H), and its
//   centre c' = float(c + (Wp - W) / 2 * u + (Hp - H) / 2 * v), computed in
//   double, where u = float(axisX * (double(h') / Hp) * aspect) and
//   v = float(axisY * (double(h') / Hp)) are the frame's column and row
//   steps. The picture is the frame's top-left W x H pixels: its pixel
//   centres are where an unpadded W x H render would put them, up to the
//   rounding of h' and c' to float. The frame's extra pixels are rendered
//   (and draw their jitter from the generator) like every other.
#pragma once

#include <cstdint>

#include "render/random.h"
#include "render/shapes.h"
#include "render/slots.h"

namespace lumek {

constexpr int32_t kLargestPicture = 16384;

// Where a picture lies in the scene: the renderer's viewCentre, axisX, axisY
// and viewHeight.
struct PictureView {
    Vec2 centre{0.0f, 0.0f};
    Vec2 axisX{1.0f, 0.0f};
    Vec2 axisY{0.0f, 1.0f};
    float height = 1.0f;
};

struct FrameExtent {
    int32_t width = 0;
    int32_t height = 0;
};

// The renderer's frame for a W x H picture (Wp x Hp above).
FrameExtent paddedExtent(int32_t width, int32_t height);

// The frame's view for the picture's view (above).
PictureView paddedView(const PictureView& view, int32_t width, int32_t height, float aspect);

// A renderer for one picture size: the padded frame and its renderer live
// in `slots` (released by the caller as for any mode). Throws
// std::bad_alloc when memory runs out.
class AnySizeRenderer {
  public:
    AnySizeRenderer(RenderSlots& slots, int32_t width, int32_t height, float aspect,
                    RandomStream& random, int threads);

    // Renders the picture: afterwards the first width x height x 4 bytes of
    // the frame's pixels are the picture, rows top to bottom, no padding.
    void render(const ShapeList& shapes, const PictureView& view);

    // Draws from the generator exactly what render() would, without making
    // the pixels: only the culling pass runs, which decides how many
    // numbers each pixel draws. Frames can be passed over this way at a
    // fraction of their cost, where later frames depend on the draws.
    void skip(const ShapeList& shapes, const PictureView& view);

    const uint8_t* pixels() const { return slots_.currentImage->pixels.get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    FrameImage& frame() const { return *slots_.currentImage; }
    RayRenderer& renderer() const { return *slots_.currentRenderer; }

  private:
    RenderSlots& slots_;
    int32_t width_;
    int32_t height_;
    float aspect_;
};

}  // namespace lumek
