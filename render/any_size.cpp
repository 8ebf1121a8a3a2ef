#include "render/any_size.h"

#include <cstring>
#include <memory>

#include "render/renderer.h"

namespace lumek {

namespace {

int32_t roundUp(int32_t extent, int32_t edge) { return (extent + edge - 1) / edge * edge; }

}  // namespace

FrameExtent paddedExtent(int32_t width, int32_t height) {
    const int32_t edge = 1 << tileShiftForWidth(width);
    return {roundUp(width, edge), roundUp(height, edge)};
}

PictureView paddedView(const PictureView& view, int32_t width, int32_t height, float aspect) {
    const FrameExtent frame = paddedExtent(width, height);
    if (frame.width == width && frame.height == height) return view;
    PictureView padded = view;
    if (frame.height != height)
        padded.height = static_cast<float>(static_cast<double>(view.height) * frame.height / height);
    // The frame's steps, as the renderer makes them.
    const double scale = static_cast<double>(padded.height) / frame.height;
    const Vec2 u{static_cast<float>(view.axisX.x * scale * aspect),
                 static_cast<float>(view.axisX.y * scale * aspect)};
    const Vec2 v{static_cast<float>(view.axisY.x * scale),
                 static_cast<float>(view.axisY.y * scale)};
    const double dx = (frame.width - width) * 0.5;
    const double dy = (frame.height - height) * 0.5;
    padded.centre = {static_cast<float>(view.centre.x + dx * u.x + dy * v.x),
                     static_cast<float>(view.centre.y + dx * u.y + dy * v.y)};
    return padded;
}

AnySizeRenderer::AnySizeRenderer(RenderSlots& slots, int32_t width, int32_t height, float aspect,
                                 RandomStream& random, int threads)
    : slots_(slots), width_(width), height_(height), aspect_(aspect) {
    const FrameExtent frame = paddedExtent(width, height);
    slots.currentImage = std::make_unique<FrameImage>(frame.width, frame.height, aspect);
    slots.currentRenderer =
        std::make_unique<RayRenderer>(slots.currentImage.get(), random, threads);
}

void AnySizeRenderer::render(const ShapeList& shapes, const PictureView& view) {
    PictureView padded = paddedView(view, width_, height_, aspect_);
    slots_.currentRenderer->render(shapes, padded.centre, padded.axisX, padded.axisY,
                                   padded.height);
    // The picture's rows moved together: each goes to a place at or before
    // its own, so going down the rows never overwrites one not yet moved.
    FrameImage& frame = *slots_.currentImage;
    if (frame.getWidth() == width_) return;
    uint8_t* bytes = frame.pixels.get();
    const size_t row = static_cast<size_t>(width_) * 4;
    const size_t stride = static_cast<size_t>(frame.getWidth()) * 4;
    for (int32_t y = 1; y < height_; ++y) std::memmove(bytes + y * row, bytes + y * stride, row);
}

}  // namespace lumek

namespace lumek {

void AnySizeRenderer::skip(const ShapeList& shapes, const PictureView& view) {
    const PictureView padded = paddedView(view, width_, height_, aspect_);
    RayRenderer& renderer = *slots_.currentRenderer;
    const FrameImage& frame = *slots_.currentImage;
    const FrameGeometry g =
        frameGeometry(frame.getWidth(), frame.getHeight(), frame.getAspect(), renderer.tileSize(),
                      padded.centre, padded.axisX, padded.axisY, padded.height);
    renderer.cull(shapes, g);
    // Every pixel draws once for each non-empty list of its tile, and once
    // more.
    const uint64_t edge = static_cast<uint64_t>(1) << renderer.tileShift();
    uint64_t lists = 0;
    for (int ty = 0; ty < renderer.tilesY(); ++ty)
        for (int tx = 0; tx < renderer.tilesX(); ++tx)
            for (int k = 0; k < kSlotCount; ++k) lists += renderer.candidates(tx, ty, k).size() != 0;
    const uint64_t pixels = static_cast<uint64_t>(frame.getWidth()) * frame.getHeight();
    renderer.random().advance(pixels + lists * edge * edge);
}

}  // namespace lumek
