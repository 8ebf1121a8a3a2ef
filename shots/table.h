// The eight fixed scene views, shared by the screenshot mode, the
// benchmark and the web page: scene list, pose, view centre, view height.
#pragma once

#include "render/any_size.h"
#include "render/renderer.h"
#include "scenes/library.h"

namespace lumek {

struct ShotRow {
    const char* switchText;  // "-shot1" ... "-shot8"
    const char* fileName;    // "Lumeklogo.raw" ...
    int list;
    void (*pose)(SceneLibrary&);  // may be null
    Vec2 viewCentre;
    float viewHeight;
};

constexpr int kShotCount = 8;
constexpr int kShotWidth = 1024;
constexpr int kShotHeight = 768;

// Rows are numbered 1 to 8.
const ShotRow& shotRow(int row);

// Moves the row's shapes into its pose (most rows have none).
void poseShot(int row, SceneLibrary& library);

// The row's view, for a picture of any size.
PictureView shotView(int row);

// Applies the row's pose and renders its list into the renderer's image.
void renderShot(int row, SceneLibrary& library, RayRenderer& renderer);

}  // namespace lumek
