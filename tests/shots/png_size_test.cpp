// The PNG writer against libpng's default output for the same pictures:
// built only where libpng is.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "render/renderer.h"
#include "shots/png.h"
#include "shots/shots.h"

namespace lumek {
namespace {

std::string libpngDefault(const FrameImage& image) {
    const int width = image.getWidth(), height = image.getHeight();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
        for (int c = 0; c < 3; ++c) rgb[3 * i + c] = image.pixels[4 * i + c];
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgb.data(), 0, nullptr)) return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, rgb.data(), 0, nullptr)) return {};
    out.resize(size);
    return out;
}

TEST(PngSize, AtMostAQuarterLargerThanLibpngsDefaultForEveryShot) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage image(kShotWidth, kShotHeight, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 2);
    for (int row = 1; row <= kShotCount; ++row) {
        renderShot(row, lib, renderer);
        const size_t ours = encodePng(image).size();
        const size_t theirs = libpngDefault(image).size();
        ASSERT_GT(theirs, 0u);
        EXPECT_LE(ours, theirs * 5 / 4) << "row " << row << ": " << ours << " against " << theirs;
        std::printf("row %d: %zu bytes, libpng %zu (%.3f)\n", row, ours, theirs,
                    double(ours) / double(theirs));
    }
    deleteSceneShapes(lib);
}

}  // namespace
}  // namespace lumek
