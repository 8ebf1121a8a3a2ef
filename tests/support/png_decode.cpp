#include "support/png_decode.h"

#include <cstdlib>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace lumek::test {

PngPixels decodePng(const std::string& bytes) {
    PngPixels result;
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels =
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<int>(bytes.size()), &w, &h, &channels, 3);
    if (pixels == nullptr) return result;
    result.width = w;
    result.height = h;
    result.channels = channels;
    result.rgb.assign(reinterpret_cast<const char*>(pixels), static_cast<size_t>(w) * h * 3);
    stbi_image_free(pixels);
    return result;
}

bool inflateZlib(const std::string& compressed, std::string& out) {
    int size = 0;
    char* data =
        stbi_zlib_decode_malloc(compressed.data(), static_cast<int>(compressed.size()), &size);
    if (data == nullptr) return false;
    out.assign(data, static_cast<size_t>(size));
    std::free(data);
    return true;
}

}  // namespace lumek::test
