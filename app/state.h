// The program-wide state, in one place. Everything below app/ takes what it
// needs as arguments; only the entry and the interactive loop reach here.
#pragma once

#include <cstdint>

#include "app/command_line.h"
#include "render/slots.h"
#include "scenes/library.h"
#include "scenes/timeline.h"

namespace lumek {

extern Settings settings;
extern SceneLibrary sceneLibrary;
// currentImage and currentRenderer of the running mode.
extern RenderSlots renderSlots;
extern uint32_t elapsedMs;
extern uint32_t lastTickMs;
// timelinePhase and currentShapes of the show.
extern TimelineState timeline;
// The arguments the process was started with (null-terminated).
extern char** programArguments;

}  // namespace lumek
