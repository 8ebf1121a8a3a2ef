#include "shots/table.h"

#include <cmath>

#include "util/switches.h"

namespace lumek {

namespace {

void poseBoxes(SceneLibrary& lib) { lib.circle(kBoxes, 0).setCircle(0.1f, 0.0f, 0.0f); }

void poseSpotlight(SceneLibrary& lib) { lib[kSpotlight][0]->setColor(240, 240, 240); }

void poseShadow1(SceneLibrary& lib) {
    lib.circle(kShadow1, 0).setCircle(0.15f, 0.5f, 0.3f);
    lib.circle(kShadow1, 1).setCircle(0.15f, -0.5f, -0.3f);
}

// Two paddles turned 0.55 radians from the vertical in opposite senses,
// between four occluders.
void poseShadow2(SceneLibrary& lib) {
    lib.circle(kShadow2, 0).setCircle(0.05f, 0.3f, 0.24f);
    lib.circle(kShadow2, 1).setCircle(0.05f, 0.3f, -0.24f);
    lib.circle(kShadow2, 2).setCircle(0.05f, -0.3f, 0.24f);
    lib.circle(kShadow2, 3).setCircle(0.05f, -0.3f, -0.24f);

    const double a = static_cast<double>(0.55f);
    const float sa = static_cast<float>(std::sin(a));
    const float ca = static_cast<float>(std::cos(a));
    const float ps = static_cast<float>(static_cast<double>(0.07f) * sa);
    const float qc = static_cast<float>(static_cast<double>(0.07f) * ca);
    const float ns = static_cast<float>(-static_cast<double>(0.07f) * sa);

    SegmentShape& lower = lib.segment(kShadow2, 4);
    lower.setStart(ps, static_cast<float>(-static_cast<double>(0.09f) - qc));
    lower.setEnd(ns, static_cast<float>(static_cast<double>(qc) - 0.09f));
    SegmentShape& upper = lib.segment(kShadow2, 5);
    upper.setStart(ps, static_cast<float>(static_cast<double>(0.09f) + qc));
    upper.setEnd(ns, static_cast<float>(static_cast<double>(0.09f) - qc));
}

void poseShadow3(SceneLibrary& lib) { lib.circle(kShadow3, 0).setCircle(0.8f, 0.0f, 0.8f); }

constexpr ShotRow kShotTable[kShotCount] = {
    {switches::kShotRows[0], "Lumeklogo.raw", kLumeklogo, nullptr, {1.5f, 0.0f}, 1.1f},
    {switches::kShotRows[1], "ColorCircles.raw", kColorCircles, nullptr, {0.0f, 0.0f}, 3.0f},
    {switches::kShotRows[2], "Boxes.raw", kBoxes, poseBoxes, {0.0f, 0.0f}, 1.0f},
    {switches::kShotRows[3], "Spotlight.raw", kSpotlight, poseSpotlight, {0.0f, 0.0f}, 1.0f},
    {switches::kShotRows[4], "Shadow1.raw", kShadow1, poseShadow1, {0.0f, 0.0f}, 1.0f},
    {switches::kShotRows[5], "Shadow2.raw", kShadow2, poseShadow2, {0.0f, 0.0f}, 1.0f},
    {switches::kShotRows[6], "Shadow3.raw", kShadow3, poseShadow3, {0.0f, -0.3f}, 1.0f},
    {switches::kShotRows[7], "XMas.raw", kXMas, nullptr, {0.0f, 0.0f}, 4.2f},
};

}  // namespace

const ShotRow& shotRow(int row) { return kShotTable[row - 1]; }

void poseShot(int row, SceneLibrary& library) {
    const ShotRow& shot = shotRow(row);
    if (shot.pose != nullptr) shot.pose(library);
}

PictureView shotView(int row) {
    const ShotRow& shot = shotRow(row);
    return PictureView{shot.viewCentre, {1.0f, 0.0f}, {0.0f, 1.0f}, shot.viewHeight};
}

void renderShot(int row, SceneLibrary& library, RayRenderer& renderer) {
    const ShotRow& shot = shotRow(row);
    poseShot(row, library);
    Vec2 viewCentre = shot.viewCentre;
    Vec2 axisX{1.0f, 0.0f};
    Vec2 axisY{0.0f, 1.0f};
    renderer.render(library[shot.list], viewCentre, axisX, axisY, shot.viewHeight);
}

}  // namespace lumek
