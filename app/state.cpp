#include "app/state.h"

namespace lumek {

Settings settings;
SceneLibrary sceneLibrary;
RenderSlots renderSlots;
uint32_t elapsedMs = 0;
uint32_t lastTickMs = 0;
TimelineState timeline;
char** programArguments = nullptr;

}  // namespace lumek
