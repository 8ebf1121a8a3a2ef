// The eight screenshots the straightforward way, as a whole process: one
// thread, renderReference, the same raw files written the same way. The
// yardstick lumek -shot1 ... -shot8 is measured against.
#include <cstdio>
#include <string>

#include "render/renderer.h"
#include "scenes/library.h"
#include "shots/shots.h"

int main() {
    using namespace lumek;
    SceneLibrary library;
    buildSceneLibrary(library);
    FrameImage image(kShotWidth, kShotHeight, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 1);
    int status = 0;
    for (int row = 1; row <= kShotCount; ++row) {
        poseShot(row, library);
        const ShotRow& shot = shotRow(row);
        Vec2 centre = shot.viewCentre, axisX{1, 0}, axisY{0, 1};
        renderer.renderReference(library[shot.list], centre, axisX, axisY, shot.viewHeight);
        std::string error;
        if (writeRawImage(shot.fileName, image, error)) {
            std::printf("%s  %d bytes\n", shot.fileName, kShotWidth * kShotHeight * 3);
        } else {
            std::fprintf(stderr, "cannot write %s: %s\n", shot.fileName, error.c_str());
            status = 1;
        }
    }
    deleteSceneShapes(library);
    return status;
}
