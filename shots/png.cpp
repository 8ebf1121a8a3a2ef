#include "shots/png.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "shots/deflate.h"
#include "shots/shots.h"

namespace {

// stb_image_write chooses each row's PNG filter; the compression is ours,
// which packs these pictures a third smaller than stb's own.
unsigned char* compressForStb(unsigned char* data, int size, int* outSize, int) {
    std::vector<uint8_t> z;
    try {
        z = lumek::zlibCompress(data, static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return nullptr;  // stb gives up cleanly; no exception crosses its C code
    }
    auto* out = static_cast<unsigned char*>(std::malloc(z.size()));
    if (out == nullptr) return nullptr;
    std::memcpy(out, z.data(), z.size());
    *outSize = static_cast<int>(z.size());
    return out;
}

}  // namespace

#define STBIW_ZLIB_COMPRESS compressForStb
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace lumek {

std::string encodePngRgb(const uint8_t* rgb, int width, int height) {
    int size = 0;
    unsigned char* png = stbi_write_png_to_mem(rgb, width * 3, width, height, 3, &size);
    if (png == nullptr) return {};
    const std::unique_ptr<unsigned char, void (*)(void*)> owned(png, std::free);
    return std::string(reinterpret_cast<const char*>(png), static_cast<size_t>(size));
}

std::string encodePng(const FrameImage& image) {
    const std::string rgb = rawImageBytes(image);
    return encodePngRgb(reinterpret_cast<const uint8_t*>(rgb.data()), image.getWidth(),
                        image.getHeight());
}

}  // namespace lumek
