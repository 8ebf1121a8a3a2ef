#include "support/image_dump.h"

#include <cstdlib>
#include <fstream>

namespace lumek::test {

void dumpImageIfAsked(const FrameImage& image, const std::string& name) {
    const char* dir = std::getenv("LUMEK_DUMP_DIR");
    if (dir == nullptr || *dir == '\0') return;
    std::ofstream out(std::string(dir) + "/" + name + ".ppm", std::ios::binary);
    out << "P6\n" << image.getWidth() << " " << image.getHeight() << "\n255\n";
    const uint8_t* p = image.pixels.get();
    for (size_t i = 0; i < size_t(image.getWidth()) * image.getHeight(); ++i, p += 4)
        out.write(reinterpret_cast<const char*>(p), 3);
}

}  // namespace lumek::test
