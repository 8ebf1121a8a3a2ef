#include "render/renderer.h"

#include <cmath>

namespace lumek {

namespace {

// 3.1415 / 512 as a float: slightly short of pi / 512, so the last entry
// stops at about 3.13535 rather than pi - pi / 512.
constexpr float kAngleStep = 0.0061357422f;

constexpr float kFarAway = 1000000.0f;

}  // namespace

int tileShiftForWidth(int32_t width) {
    if (width > 256) return 5;
    if (width > 128) return 4;
    return 3;
}

FrameGeometry frameGeometry(int32_t width, int32_t height, float aspect, float tileSize,
                            const Vec2& viewCentre, const Vec2& axisX, const Vec2& axisY,
                            float viewHeight) {
    FrameGeometry g;
    const double scale = static_cast<double>(viewHeight) / height;
    g.u = {static_cast<float>(axisX.x * scale * aspect),
           static_cast<float>(axisX.y * scale * aspect)};
    g.v = {static_cast<float>(axisY.x * scale), static_cast<float>(axisY.y * scale)};

    const double halfW = (width - 1) * 0.5;
    const double halfH = (height - 1) * 0.5;
    g.origin = {static_cast<float>(viewCentre.x - halfW * g.u.x - halfH * g.v.x),
                static_cast<float>(viewCentre.y - halfW * g.u.y - halfH * g.v.y)};

    const double halfTile = (static_cast<double>(tileSize) - 1) * 0.5;
    g.firstTileCentre = {
        static_cast<float>(g.origin.x + halfTile * (static_cast<double>(g.u.x) + g.v.x)),
        static_cast<float>(g.origin.y + halfTile * (static_cast<double>(g.u.y) + g.v.y))};

    const double dx = static_cast<double>(g.firstTileCentre.x) - g.origin.x;
    const double dy = static_cast<double>(g.firstTileCentre.y) - g.origin.y;
    g.tileRadius = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    return g;
}

RayRenderer::RayRenderer(FrameImage* image, RandomStream& random)
    : image_(image), random_(&random) {
    float angle = 0.0f;
    for (int i = 0; i < kDirectionCount; ++i) {
        sinTable_[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosTable_[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
        angle += kAngleStep;
    }
    tileShift_ = tileShiftForWidth(image->getWidth());
    tileSize_ = static_cast<float>(1 << tileShift_);
    tilesX_ = image->getWidth() >> tileShift_;
    tilesY_ = image->getHeight() >> tileShift_;
    candidates_ = std::make_unique<ShapeList[]>(static_cast<size_t>(tilesX_) * tilesY_ * kSlotCount);
}

RayRenderer::~RayRenderer() = default;

void RayRenderer::render(const ShapeList& shapes, Vec2& viewCentre, Vec2& axisX, Vec2& axisY,
                         float viewHeight) {
    const FrameGeometry g = frameGeometry(image_->getWidth(), image_->getHeight(),
                                          image_->getAspect(), tileSize_, viewCentre, axisX,
                                          axisY, viewHeight);
    lastTileRadius_ = g.tileRadius;
    cull(shapes, g);
    shadePixels(g);

    // The caller's vectors end up as the steps and the start of the next row.
    Vec2 rowStart = g.origin;
    for (int y = 0; y < image_->getHeight(); ++y) {
        rowStart.x += g.v.x;
        rowStart.y += g.v.y;
    }
    axisX = g.u;
    axisY = g.v;
    viewCentre = rowStart;
}

void RayRenderer::cull(const ShapeList& shapes, const FrameGeometry& g) {
    const double stepUx = static_cast<double>(tileSize_) * g.u.x;
    const double stepUy = static_cast<double>(tileSize_) * g.u.y;
    const double stepVx = static_cast<double>(tileSize_) * g.v.x;
    const double stepVy = static_cast<double>(tileSize_) * g.v.y;

    Vec2 rowStart = g.firstTileCentre;
    ShapeList* list = candidates_.get();
    for (int ty = 0; ty < tilesY_; ++ty) {
        Vec2 p = rowStart;
        for (int tx = 0; tx < tilesX_; ++tx) {
            for (int k = 0; k < kSlotCount; ++k, ++list) {
                list->clear();
                const Vec2 nA{-cosTable_[kSlotWidth * k], sinTable_[kSlotWidth * k]};
                const Vec2 nB{-cosTable_[kSlotWidth * k + kSlotWidth - 1],
                              sinTable_[kSlotWidth * k + kSlotWidth - 1]};
                for (Shape* shape : shapes)
                    if (shape->mayHit(p, g.tileRadius, nA, nB)) list->pushBack(shape);
            }
            p.x = static_cast<float>(p.x + stepUx);
            p.y = static_cast<float>(p.y + stepUy);
        }
        rowStart.x = static_cast<float>(rowStart.x + stepVx);
        rowStart.y = static_cast<float>(rowStart.y + stepVy);
    }
}

void RayRenderer::shadePixels(const FrameGeometry& g) {
    const int width = image_->getWidth();
    const int height = image_->getHeight();
    uint8_t* out = image_->pixels.get();
    RandomStream& random = *random_;

    Vec2 rowStart = g.origin;
    for (int y = 0; y < height; ++y) {
        Ray ray;
        ray.origin = rowStart;
        for (int x = 0; x < width; ++x, out += 4) {
            Rgb sum;
            const ShapeList* lists =
                &candidates_[((y >> tileShift_) * tilesX_ + (x >> tileShift_)) * kSlotCount];
            for (int k = 0; k < kSlotCount; ++k) {
                const ShapeList& list = lists[k];
                const size_t n = list.size();
                if (n == 0) continue;
                const int j = kSlotWidth * k + (random.next() & (kSlotWidth - 1));
                ray.dir = {sinTable_[j], cosTable_[j]};
                float t;
                if (n == 1) {
                    // A single candidate has no distance limit.
                    if (list[0]->intersect(ray, t)) addContribution(*list[0], std::fabs(t), sum);
                    continue;
                }
                float nearPos = kFarAway, nearNeg = kFarAway;
                const Shape* hitPos = nullptr;
                const Shape* hitNeg = nullptr;
                for (size_t i = 0; i < n; ++i) {
                    const Shape* shape = list[i];
                    if (!shape->intersect(ray, t)) continue;
                    if (t > 0.0f) {
                        if (t < nearPos) {
                            nearPos = t;
                            hitPos = shape;
                        }
                    } else if (t < 0.0f) {
                        if (-t < nearNeg) {
                            nearNeg = -t;
                            hitNeg = shape;
                        }
                    } else {
                        // The pixel lies inside this shape: it alone is seen.
                        nearPos = 0.0f;
                        hitPos = shape;
                        hitNeg = nullptr;
                        break;
                    }
                }
                if (hitPos) addContribution(*hitPos, nearPos, sum);
                if (hitNeg) addContribution(*hitNeg, nearNeg, sum);
            }
            out[0] = channelByte(sum.r);
            out[1] = channelByte(sum.g);
            out[2] = channelByte(sum.b);
            random.next();  // one draw per pixel is discarded
            ray.origin.x += g.u.x;
            ray.origin.y += g.u.y;
        }
        rowStart.x += g.v.x;
        rowStart.y += g.v.y;
    }
}

}  // namespace lumek
