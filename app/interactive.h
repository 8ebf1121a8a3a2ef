// The interactive demo: the show on screen, with its millisecond clock.
#pragma once

#include <cstdint>

#include "scenes/scene_file.h"

namespace lumek {

// Plays the show until its end, a key press or the window's closing, then
// shuts down in order. Returns the exit status.
int runInteractive();

// Shows a scene file in the window: its animation looping (a still scene
// stays), each frame's jitter from the file's state for the frame at that
// moment, until a key press or the window's closing.
int runInteractiveScene(const SceneDocument& scene);

// Tests only: called after every frame shown, with the show's clock. The
// program itself never sets it.
using FrameObserver = void (*)(uint32_t elapsedMs);
void observeFrames(FrameObserver observer);

}  // namespace lumek
