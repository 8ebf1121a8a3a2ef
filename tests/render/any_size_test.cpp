// Pictures whose sides are no multiple of the tile edge: rendered padded,
// placed where an unpadded render would put them, and cropped.
#include "render/any_size.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "render/renderer.h"

namespace lumek {
namespace {

struct TwoShapes {
    CircleShape disc;
    SegmentShape wall;
    ShapeList list;
    TwoShapes() {
        disc.setCircle(0.2f, 0.3f, -0.1f);
        disc.setColor(250, 180, 90);
        disc.setFalloff(1.5f);
        wall.setStart(-0.5f, 0.4f);
        wall.setEnd(0.1f, -0.3f);
        wall.setColor(40, 120, 255);
        wall.setFalloff(2.0f);
        list.pushBack(&disc);
        list.pushBack(&wall);
    }
};

TEST(AnySize, FramesAreTheNextWholeTiles) {
    EXPECT_EQ(paddedExtent(1, 1).width, 8);
    EXPECT_EQ(paddedExtent(1, 1).height, 8);
    EXPECT_EQ(paddedExtent(1000, 563).width, 1024);
    EXPECT_EQ(paddedExtent(1000, 563).height, 576);
    // The edge comes from the width, and the padded width keeps it.
    EXPECT_EQ(paddedExtent(129, 1).width, 144);
    EXPECT_EQ(paddedExtent(129, 1).height, 16);
    EXPECT_EQ(paddedExtent(257, 300).width, 288);
    EXPECT_EQ(paddedExtent(257, 300).height, 320);
    EXPECT_EQ(paddedExtent(128, 8).width, 128);
    EXPECT_EQ(paddedExtent(kLargestPicture, kLargestPicture).width, kLargestPicture);
    EXPECT_EQ(paddedExtent(kLargestPicture, kLargestPicture).height, kLargestPicture);
}

TEST(AnySize, AWholeTilePictureKeepsItsView) {
    const PictureView view{{0.25f, -1.5f}, {0.6f, 0.8f}, {-0.8f, 0.6f}, 1.1f};
    const PictureView same = paddedView(view, 1024, 768, 1.0f);
    EXPECT_EQ(std::memcmp(&same, &view, sizeof view), 0);
}

// The padded frame's pixel centres of the picture are those of the unpadded
// geometry, computed here in double without any rounding to float.
TEST(AnySize, PixelCentresStayWhereAnUnpaddedRenderPutsThem) {
    const PictureView view{{0.25f, -1.5f}, {0.6f, 0.8f}, {-0.8f, 0.6f}, 1.1f};
    for (const float aspect : {1.0f, 1.333f})
        for (const auto& [w, h] : {std::pair{1000, 563}, {1, 1}, {13, 200}, {300, 7}}) {
            const FrameExtent frame = paddedExtent(w, h);
            const PictureView padded = paddedView(view, w, h, aspect);
            const double tile = 1 << tileShiftForWidth(frame.width);
            const FrameGeometry g =
                frameGeometry(frame.width, frame.height, aspect, static_cast<float>(tile),
                              padded.centre, padded.axisX, padded.axisY, padded.height);
            const double s = static_cast<double>(view.height) / h;
            for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, h - 1}, {w / 2, 0}}) {
                const double ex = view.centre.x + (x - (w - 1) * 0.5) * s * aspect * view.axisX.x +
                                  (y - (h - 1) * 0.5) * s * view.axisY.x;
                const double ey = view.centre.y + (x - (w - 1) * 0.5) * s * aspect * view.axisX.y +
                                  (y - (h - 1) * 0.5) * s * view.axisY.y;
                const double gx = static_cast<double>(g.origin.x) + x * g.u.x + y * g.v.x;
                const double gy = static_cast<double>(g.origin.y) + x * g.u.y + y * g.v.y;
                // Far below a pixel: float rounding of the view and the steps.
                EXPECT_NEAR(gx, ex, s * 1e-3) << w << "x" << h << " " << x << "," << y;
                EXPECT_NEAR(gy, ey, s * 1e-3) << w << "x" << h << " " << x << "," << y;
            }
        }
}

// The picture is the padded frame's top-left corner, rows packed together,
// and the generator ends where the whole frame leaves it.
TEST(AnySize, ThePictureIsTheFramesCornerPacked) {
    TwoShapes scene;
    const PictureView view{{0.1f, 0.05f}, {1, 0}, {0, 1}, 1.2f};
    for (const auto& [w, h] : {std::pair{21, 13}, {1, 1}, {150, 9}}) {
        RandomStream randomA, randomB;
        RenderSlots slots;
        AnySizeRenderer picture(slots, w, h, 1.0f, randomA, 2);
        picture.render(scene.list, view);

        const FrameExtent extent = paddedExtent(w, h);
        FrameImage frame(extent.width, extent.height, 1.0f);
        RayRenderer plain(&frame, randomB, 1);
        PictureView padded = paddedView(view, w, h, 1.0f);
        plain.render(scene.list, padded.centre, padded.axisX, padded.axisY, padded.height);

        EXPECT_EQ(randomA.state(), randomB.state());
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(std::memcmp(picture.pixels() + 4 * y * w,
                                  frame.pixels.get() + 4 * y * extent.width, 4 * w),
                      0)
                << w << "x" << h << " row " << y;
    }
}

}  // namespace
}  // namespace lumek

namespace lumek {
namespace {

// Passing over a frame leaves the generator where rendering it does, at
// sizes with one to three tile edges, so the frames after it are the same.
TEST(AnySize, SkippingAFrameDrawsWhatRenderingItDraws) {
    TwoShapes scene;
    for (const auto& [w, h] : {std::pair{40, 24}, {200, 33}, {300, 70}})
        for (const float height : {1.2f, 0.3f}) {
            const PictureView view{{0.1f, 0.05f}, {0.8f, 0.6f}, {-0.6f, 0.8f}, height};
            RandomStream rendered, skipped;
            RenderSlots slotsA, slotsB;
            AnySizeRenderer a(slotsA, w, h, 1.333f, rendered, 1);
            AnySizeRenderer b(slotsB, w, h, 1.333f, skipped, 1);
            a.render(scene.list, view);
            b.skip(scene.list, view);
            EXPECT_EQ(rendered.state(), skipped.state()) << w << "x" << h;
            EXPECT_NE(rendered.state(), RandomStream().state());
        }
}

}  // namespace
}  // namespace lumek
