#include "app/interactive.h"

#include <cmath>
#include <cstdio>

#include "app/state.h"
#include "display/gl_view.h"
#include "display/platform.h"
#include "os/system.h"
#include "render/random.h"

namespace lumek {

namespace {

FrameObserver frameObserver = nullptr;

// The window's main loop: one waiting event at a time; when none waits, the
// clock advances (also while minimised) and, while the window is active,
// `present` shows a frame (false: the run is over), and the buffers are
// swapped. Returns the quit code.
template <class Present>
int mainLoop(Present present) {
    elapsedMs = 0;
    lastTickMs = display::clockMs();
    int quitCode = 0;
    for (;;) {
        const display::Pumped pumped = display::takeEvent(quitCode);
        if (pumped == display::Pumped::Quit) break;
        if (pumped == display::Pumped::Dispatched) continue;

        const uint32_t now = display::clockMs();
        elapsedMs += now - lastTickMs;
        lastTickMs = now;
        if (display::windowActive() && !present()) break;
        display::swapBuffers();
        if (frameObserver != nullptr && display::windowActive()) frameObserver(elapsedMs);
    }
    return quitCode;
}

}  // namespace

void observeFrames(FrameObserver observer) { frameObserver = observer; }

int runInteractive(const std::string& missingMode) {
    // One line that says what to do, before anything of the window system
    // starts and adds its own complaints.
    if (const char* why = display::missingDisplay()) {
        if (missingMode.empty())
            std::fprintf(stderr,
                         "lumek: the show cannot play: %s; run it on a desktop, or give a mode "
                         "switch such as -bench or -shot1 (lumek --help)\n",
                         why);
        else
            std::fprintf(stderr, "lumek: %s missing, so the show was started, but %s\n",
                         missingMode.c_str(), why);
        return 1;
    }
    const display::WindowOpened opened =
        display::openWindow("Lumek", settings.screenWidth, settings.screenHeight,
                            settings.colourBits, true, settings.linearFiltering);
    // The reason was shown already; declining the windowed fallback is the
    // person's choice, a window that could not be opened is a failure.
    if (opened == display::WindowOpened::Declined) return 0;
    if (opened == display::WindowOpened::Failed) return 1;

    buildSceneLibrary(sceneLibrary);
    renderSlots.currentImage =
        std::make_unique<FrameImage>(settings.renderSize, settings.renderSize, 1.333f);
    renderSlots.currentRenderer = std::make_unique<RayRenderer>(
        renderSlots.currentImage.get(), programRandom(), os::usableProcessors());
    // Room for every scene now: once the show runs, a frame allocates nothing.
    renderSlots.currentRenderer->prepareFor(largestScene(sceneLibrary));
    const display::QuadOptions quad{settings.renderSize, settings.quadScale,
                                    settings.linearFiltering};

    const int quitCode = mainLoop([&quad] {
        // False once the show is over.
        return display::presentFrame(timeline, sceneLibrary, elapsedMs,
                                     *renderSlots.currentRenderer, *renderSlots.currentImage, quad);
    });

    display::closeWindow();
    deleteSceneShapes(sceneLibrary);
    renderSlots.release();
    return quitCode;
}

int runInteractiveScene(const SceneDocument& scene) {
    if (const char* why = display::missingDisplay()) {
        std::fprintf(stderr,
                     "lumek: the scene cannot be shown: %s; run it on a desktop, or write a "
                     "picture of it (--scene FILE -png) or a video (--scene FILE -record)\n",
                     why);
        return 1;
    }
    const display::WindowOpened opened =
        display::openWindow("Lumek", settings.screenWidth, settings.screenHeight,
                            settings.colourBits, true, settings.linearFiltering);
    if (opened == display::WindowOpened::Declined) return 0;
    if (opened == display::WindowOpened::Failed) return 1;

    // The show's square render stretched to the 4:3 screen: a view 1.333
    // times as wide as high, as the scene's own pictures at 4:3.
    renderSlots.currentImage =
        std::make_unique<FrameImage>(settings.renderSize, settings.renderSize, 1.333f);
    RandomStream& random = programRandom();
    renderSlots.currentRenderer = std::make_unique<RayRenderer>(
        renderSlots.currentImage.get(), random, os::usableProcessors());
    renderSlots.currentRenderer->prepareFor(scene.expandedShapeCount());
    const display::QuadOptions quad{settings.renderSize, settings.quadScale,
                                    settings.linearFiltering};
    PosedScene posed;

    const int quitCode = mainLoop([&] {
        // The animation loops over its duration; a still scene is one frame.
        double seconds = 0;
        if (scene.animated() && *scene.duration > 0)
            seconds = std::fmod(elapsedMs / 1000.0, *scene.duration);
        poseScene(scene, seconds, posed);
        random.setState(sceneFrameState(scene.frameSeed(), sceneFrameAt(scene, seconds)));
        Vec2 centre = posed.pose.viewCentre, axisX = posed.pose.axisX, axisY = posed.pose.axisY;
        renderSlots.currentRenderer->render(posed.list(), centre, axisX, axisY,
                                            posed.pose.viewHeight);
        display::drawImage(*renderSlots.currentImage, quad);
        return true;
    });

    display::closeWindow();
    renderSlots.release();
    return quitCode;
}

}  // namespace lumek
