// The ten fixed scenes. Lists are addressed by index and shapes by their
// number within a list; the timeline, the shot table and the benchmark all
// reach shapes that way, so both orders are part of the data.
#pragma once

#include <array>

#include "render/shapes.h"

namespace lumek {

enum SceneIndex : int {
    kLumeklogo = 0,
    kXMas = 1,
    kColorCircles = 2,
    kBoxes = 3,
    kSpotlight = 4,
    kShadow1 = 5,
    kShadow2 = 6,
    kShadow3 = 7,
    kFarLights = 8,
    kWhiteDisc = 9,
    kSceneCount = 10,
};

class SceneLibrary {
  public:
    ShapeList& operator[](int index) { return lists_[index]; }
    const ShapeList& operator[](int index) const { return lists_[index]; }

    // Typed access for poses; the kind is fixed by the scene tables.
    CircleShape& circle(int list, int shape) {
        return static_cast<CircleShape&>(*lists_[list][shape]);
    }
    SegmentShape& segment(int list, int shape) {
        return static_cast<SegmentShape&>(*lists_[list][shape]);
    }

  private:
    std::array<ShapeList, kSceneCount> lists_;
};

const char* sceneName(int index);

// The number of shapes in the library's largest scene.
size_t largestScene(const SceneLibrary& library);

// Appends every scene's shapes to the (empty) lists, list 1 first, then
// 0, 2, 3, ... 9.
void buildSceneLibrary(SceneLibrary& library);

// Deletes every list's shapes, in the order 1, 0, 2, ... 9, leaving the lists
// empty for another build.
void deleteSceneShapes(SceneLibrary& library);

}  // namespace lumek
