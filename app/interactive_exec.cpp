// The interactive mode of the program that runs every other mode: the show
// is a program of its own beside it (lumek-show), so that the screenshots,
// the benchmark, the stress run and the recording never load SDL2, OpenGL
// and the window system's libraries. The process becomes lumek-show, with
// the same arguments.
#include <cstdio>
#include <string>

#include "app/interactive.h"
#include "app/state.h"
#include "os/system.h"

namespace lumek {

void observeFrames(FrameObserver) {}

// The scene was read here first, so that a faulty file is said before the
// window's program starts; lumek-show reads it again from the same arguments.
int runInteractiveScene(const SceneDocument&) { return runInteractive(); }

int runInteractive() {
    std::string error;
    char* none[] = {nullptr, nullptr};
    os::replaceWithSibling("lumek-show", programArguments ? programArguments : none, error);
    std::fprintf(stderr, "lumek: the show is played by lumek-show, which could not start: %s\n",
                 error.c_str());
    return 1;
}

}  // namespace lumek
