// The software light renderer: for every pixel, 16 jittered lines (one per
// direction slot), the nearest shape on each side of the pixel along each
// line, its colour weakened by distance, averaged.
//
// A frame is two passes: culling builds, per tile and direction slot, the
// list of shapes a line from that tile in that slot could meet; the pixel
// pass then tests each line only against its list.
#pragma once

#include <cstdint>
#include <memory>

#include "render/image.h"
#include "render/random.h"
#include "render/shapes.h"

namespace lumek {

constexpr int kDirectionCount = 512;
constexpr int kSlotCount = 16;
constexpr int kSlotWidth = 32;

// Where a frame lies in the scene: steps between columns (u) and rows (v),
// the first pixel (origin), the first tile's centre and the tile radius.
struct FrameGeometry {
    Vec2 u;
    Vec2 v;
    Vec2 origin;
    Vec2 firstTileCentre;
    float tileRadius = 0.0f;
};

FrameGeometry frameGeometry(int32_t width, int32_t height, float aspect, float tileSize,
                            const Vec2& viewCentre, const Vec2& axisX, const Vec2& axisY,
                            float viewHeight);

// Tile edge exponent for an image width: 8, 16 or 32 pixels.
int tileShiftForWidth(int32_t width);

class RayRenderer {
  public:
    // Binds to `image` (not owned, size fixed from now on) and draws its
    // jitter from `random`.
    RayRenderer(FrameImage* image, RandomStream& random);
    ~RayRenderer();

    RayRenderer(const RayRenderer&) = delete;
    RayRenderer& operator=(const RayRenderer&) = delete;

    // Renders `shapes` into the image. On return axisX and axisY hold the
    // column and row steps and viewCentre the start of the row after the
    // last; callers build all three afresh for every call.
    void render(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                float viewHeight);

    // Pass 1 alone (also used by benchmarks and tests).
    void cull(const ShapeList& shapes, const FrameGeometry& geometry);
    // Pass 2, straight from the definition: one pixel after another.
    void shadePixels(const FrameGeometry& geometry);

    float sinAt(int i) const { return sinTable_[i]; }
    float cosAt(int i) const { return cosTable_[i]; }
    float tileSize() const { return tileSize_; }
    int tileShift() const { return tileShift_; }
    int tilesX() const { return tilesX_; }
    int tilesY() const { return tilesY_; }
    float lastTileRadius() const { return lastTileRadius_; }
    const ShapeList& candidates(int tx, int ty, int slot) const {
        return candidates_[(ty * tilesX_ + tx) * kSlotCount + slot];
    }
    FrameImage& image() const { return *image_; }
    RandomStream& random() const { return *random_; }

  private:
    float sinTable_[kDirectionCount];
    float cosTable_[kDirectionCount];
    FrameImage* image_;
    std::unique_ptr<ShapeList[]> candidates_;
    float tileSize_;
    int tileShift_;
    int tilesX_;
    int tilesY_;
    RandomStream* random_;
    float lastTileRadius_ = 0.0f;
};

// Adds one contribution to a pixel's sums.
inline void addContribution(const Shape& shape, float distance, Rgb& sum) {
    Rgb c;
    shape.attenuate(distance, c);
    sum.r += c.r;
    sum.g += c.g;
    sum.b += c.b;
}

// A sum over 16 lines becomes a byte: divided by 16 and saturated, so a very
// bright pixel stays bright instead of wrapping round to dark.
inline uint8_t channelByte(int32_t sum) {
    const int32_t v = sum >> 4;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace lumek
