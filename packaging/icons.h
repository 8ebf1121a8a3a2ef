// The program's icon: the logo scene rendered square by the program's own
// renderer and averaged down to the sizes desktops and Windows ask for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumek {

// Edge lengths in pixels: the hicolor theme's usual sizes, also the ones in
// the Windows icon.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// Every size is made from one picture of this edge, which each size divides
// (so each icon pixel is the mean of a whole block, and the jitter's noise
// is averaged away at the small sizes).
constexpr int kIconMasterSize = 768;

// A square picture, three bytes a pixel, rows from the top.
struct IconPicture {
    int size = 0;
    std::vector<uint8_t> rgb;
};

// The logo scene, centred on its two triangles, kIconMasterSize square.
IconPicture renderIconMaster(int threads);

// `picture` shrunk to `size` square: each pixel the rounded mean of a
// block. `size` must divide picture.size.
IconPicture shrinkIcon(const IconPicture& picture, int size);

// A Windows icon file holding the pictures as opaque 32-bit bitmaps (which
// every Windows reads; PNG entries would be smaller but need a 32-bit PNG).
std::string encodeIco(const std::vector<IconPicture>& pictures);

}  // namespace lumek
