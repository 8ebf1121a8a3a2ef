// Builds without libpng: "-png" reports each picture as not written.
#include "shots/png.h"

namespace lumek {

std::string encodePng(const FrameImage&) { return {}; }

bool pngAvailable() { return false; }

}  // namespace lumek
