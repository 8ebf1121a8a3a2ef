#include "app/interactive.h"

#include <cmath>

#include "app/state.h"
#include "display/gl_view.h"
#include "display/platform.h"
#include "os/system.h"
#include "render/random.h"

namespace lumek {

namespace {

FrameObserver frameObserver = nullptr;

}  // namespace

void observeFrames(FrameObserver observer) { frameObserver = observer; }

int runInteractive() {
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

    elapsedMs = 0;
    lastTickMs = display::clockMs();
    int quitCode = 0;
    for (;;) {
        const display::Pumped pumped = display::takeEvent(quitCode);
        if (pumped == display::Pumped::Quit) break;
        if (pumped == display::Pumped::Dispatched) continue;

        // Idle: the clock runs on even while minimised.
        const uint32_t now = display::clockMs();
        elapsedMs += now - lastTickMs;
        lastTickMs = now;
        if (display::windowActive() &&
            !display::presentFrame(timeline, sceneLibrary, elapsedMs, *renderSlots.currentRenderer,
                                   *renderSlots.currentImage, quad))
            break;  // the show is over
        display::swapBuffers();
        if (frameObserver != nullptr && display::windowActive()) frameObserver(elapsedMs);
    }

    display::closeWindow();
    deleteSceneShapes(sceneLibrary);
    renderSlots.release();
    return quitCode;
}

int runInteractiveScene(const SceneDocument& scene) {
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
        if (!display::windowActive()) continue;
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
        display::swapBuffers();
        if (frameObserver != nullptr) frameObserver(elapsedMs);
    }

    display::closeWindow();
    renderSlots.release();
    return quitCode;
}

}  // namespace lumek
