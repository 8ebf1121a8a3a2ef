// The scripted 312-second show: 25 phases, each ending at a fixed time,
// that pick the scene, pose its shapes and set the view, frame by frame.
#pragma once

#include <cstdint>

#include "render/shapes.h"
#include "scenes/library.h"

namespace lumek {

constexpr uint32_t kPhaseCount = 25;

// What the show remembers between frames.
struct TimelineState {
    uint32_t timelinePhase = 0;
    ShapeList* currentShapes = nullptr;
};

// One frame of the show at `elapsedMs`: writes the view (always afresh,
// starting from the default view), poses shapes of `library`, sets
// `state.currentShapes`, and advances at most one phase (two from phase 7).
// Returns false exactly once, on the call that ends the last phase.
bool stepTimeline(TimelineState& state, SceneLibrary& library, uint32_t elapsedMs,
                  Vec2& viewCentre, Vec2& axisX, Vec2& axisY, float& viewHeight);

// The time after which a phase ends (it ends on the first call with a later
// time).
uint32_t phaseEndMs(uint32_t phase);

}  // namespace lumek
