// PNG pictures read back with a decoder of their own (stb_image), so the
// writer is checked by code it does not share.
#pragma once

#include <string>

namespace lumek::test {

struct PngPixels {
    int width = 0, height = 0;
    int channels = 0;  // as stored in the file
    std::string rgb;   // three bytes a pixel, rows from the top
};

// Nothing (width 0) when the bytes are not a PNG picture.
PngPixels decodePng(const std::string& bytes);

// zlib's inflate, for checking compressed streams: false when the bytes are
// not a valid zlib stream.
bool inflateZlib(const std::string& compressed, std::string& out);

}  // namespace lumek::test
