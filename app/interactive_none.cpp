// The interactive mode of a build without a display (servers, the ARM64
// build): there is no window to show the show in.
#include <cstdio>

#include "app/interactive.h"

namespace lumek {

void observeFrames(FrameObserver) {}

int runInteractive() {
    std::fputs(
        "lumek: this build has no display, so it cannot play the show; it runs -bench, "
        "-stress, -shot1 ... -shot8 and -record (see --help)\n",
        stderr);
    return 1;
}

int runInteractiveScene(const SceneDocument&) {
    std::fputs(
        "lumek: this build has no display, so it cannot show the scene; --scene FILE -png "
        "writes a picture of it and --scene FILE -record a video (see --help)\n",
        stderr);
    return 1;
}

}  // namespace lumek
