#include "shots/png.h"

#include <png.h>

#include <vector>

namespace lumek {

namespace {

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void noFlush(png_structp) {}

// Kept free of objects with destructors: libpng reports errors by longjmp.
bool encodeRows(png_structp png, png_infop info, std::string* out, int width, int height,
                png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, appendToString, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

std::string encodePng(const FrameImage& image) {
    const int width = image.getWidth(), height = image.getHeight();
    std::vector<png_byte> rgb(static_cast<size_t>(width) * height * 3);
    const uint8_t* src = image.pixels.get();
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = src[4 * i];
        rgb[3 * i + 1] = src[4 * i + 1];
        rgb[3 * i + 2] = src[4 * i + 2];
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = rgb.data() + static_cast<size_t>(y) * width * 3;

    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    const bool ok = info != nullptr && encodeRows(png, info, &out, width, height, rows.data());
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) out.clear();
    return out;
}

bool pngAvailable() { return true; }

}  // namespace lumek
