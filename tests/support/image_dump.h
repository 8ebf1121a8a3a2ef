// Writes a picture as a binary PPM into $LUMEK_DUMP_DIR, if that is set, so
// a person can look at what a test rendered.
#pragma once

#include <string>

#include "render/image.h"

namespace lumek::test {

void dumpImageIfAsked(const FrameImage& image, const std::string& name);

}  // namespace lumek::test
