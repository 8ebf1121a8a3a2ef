#include "packaging/icons.h"

#include "render/image.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"
#include "shots/shots.h"

namespace lumek {

namespace {

// Where the icon looks: the middle of the logo's two triangles, with the
// edge of the large orange disc across the lower left corner.
constexpr Vec2 kIconCentre{1.6f, -0.05f};
constexpr float kIconViewHeight = 0.9f;

void putLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xffu));
}

// BITMAPINFOHEADER, the colours bottom row first as blue, green, red,
// alpha, then the 1-bit mask (all clear: every pixel shows).
std::string iconBitmap(const IconPicture& picture) {
    const uint32_t n = static_cast<uint32_t>(picture.size);
    const uint32_t maskRow = (n + 31) / 32 * 4;
    std::string out;
    putLittleEndian(out, 40, 4);
    putLittleEndian(out, n, 4);
    putLittleEndian(out, 2 * n, 4);  // colours and mask
    putLittleEndian(out, 1, 2);
    putLittleEndian(out, 32, 2);
    putLittleEndian(out, 0, 4);  // uncompressed
    putLittleEndian(out, n * n * 4 + maskRow * n, 4);
    for (int i = 0; i < 4; ++i) putLittleEndian(out, 0, 4);
    for (uint32_t y = n; y-- > 0;)
        for (uint32_t x = 0; x < n; ++x) {
            const uint8_t* p = &picture.rgb[(y * n + x) * 3];
            out.push_back(static_cast<char>(p[2]));
            out.push_back(static_cast<char>(p[1]));
            out.push_back(static_cast<char>(p[0]));
            out.push_back(static_cast<char>(0xff));
        }
    out.append(static_cast<size_t>(maskRow) * n, '\0');
    return out;
}

}  // namespace

IconPicture renderIconMaster(int threads) {
    SceneLibrary library;
    buildSceneLibrary(library);
    FrameImage image(kIconMasterSize, kIconMasterSize, 1.0f);
    RandomStream random;
    {
        RayRenderer renderer(&image, random, threads);
        Vec2 centre = kIconCentre;
        Vec2 axisX{1.0f, 0.0f};
        Vec2 axisY{0.0f, 1.0f};
        renderer.render(library[kLumeklogo], centre, axisX, axisY, kIconViewHeight);
    }
    deleteSceneShapes(library);
    IconPicture picture{kIconMasterSize, {}};
    picture.rgb.resize(static_cast<size_t>(kIconMasterSize) * kIconMasterSize * 3);
    rgbFromRgba(image.pixels.get(), picture.rgb.size() / 3,
                reinterpret_cast<char*>(picture.rgb.data()));
    return picture;
}

IconPicture shrinkIcon(const IconPicture& picture, int size) {
    const int block = picture.size / size;
    const uint32_t count = static_cast<uint32_t>(block) * block;
    IconPicture out{size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 3)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (int by = 0; by < block; ++by)
                    for (int bx = 0; bx < block; ++bx)
                        sum += picture.rgb[((static_cast<size_t>(y) * block + by) * picture.size +
                                            static_cast<size_t>(x) * block + bx) *
                                               3 +
                                           c];
                out.rgb[(static_cast<size_t>(y) * size + x) * 3 + c] =
                    static_cast<uint8_t>((sum + count / 2) / count);
            }
    return out;
}

std::string encodeIco(const std::vector<IconPicture>& pictures) {
    std::vector<std::string> images;
    for (const IconPicture& p : pictures) images.push_back(iconBitmap(p));
    std::string out;
    putLittleEndian(out, 0, 2);
    putLittleEndian(out, 1, 2);  // an icon, not a cursor
    putLittleEndian(out, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const uint32_t edge = pictures[i].size >= 256 ? 0 : pictures[i].size;  // 0 means 256
        putLittleEndian(out, edge, 1);
        putLittleEndian(out, edge, 1);
        putLittleEndian(out, 0, 2);  // no palette, reserved
        putLittleEndian(out, 1, 2);  // planes
        putLittleEndian(out, 32, 2);
        putLittleEndian(out, static_cast<uint32_t>(images[i].size()), 4);
        putLittleEndian(out, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& image : images) out += image;
    return out;
}

}  // namespace lumek
