#include "scenes/timeline.h"

#include <cmath>

namespace lumek {

// Arithmetic: constants are floats, time differences exact, everything else
// double until it is handed to a setter or the view, where it becomes a
// float. Beware of float-by-float products in this file: write them with a
// double operand first.

namespace {

struct Frame {
    SceneLibrary& lib;
    TimelineState& state;
    uint32_t t;
    Vec2& viewCentre;
    Vec2& axisX;
    Vec2& axisY;
    float& viewHeight;

    // t - origin, signed and exact.
    double since(int64_t origin) const { return static_cast<double>(int64_t{t} - origin); }
    void show(int list) { state.currentShapes = &lib[list]; }
};

float f(double v) { return static_cast<float>(v); }

// Trunc toward zero into a 32-bit integer.
int32_t trunc32(double v) { return static_cast<int32_t>(v); }

// Moves a segment's end points from A to B: point = (1 - u) A + u B.
struct SegmentMove {
    int shape;
    Vec2 startA, startB, endA, endB;
};

void moveSegments(SceneLibrary& lib, int list, const SegmentMove (&moves)[3], double u) {
    for (const SegmentMove& m : moves) {
        SegmentShape& s = lib.segment(list, m.shape);
        s.setStart(f((1 - u) * m.startA.x + u * m.startB.x),
                   f((1 - u) * m.startA.y + u * m.startB.y));
        s.setEnd(f((1 - u) * m.endA.x + u * m.endB.x), f((1 - u) * m.endA.y + u * m.endB.y));
    }
}

// The left logo triangle becomes a zig-zag (phase 2).
constexpr SegmentMove kLogoMoves[3] = {
    {1, {1.5f, -0.3f}, {1.55f, -0.2f}, {1.5f, 0.2f}, {1.3f, 0.1f}},
    {2, {1.25f, -0.05f}, {1.3f, 0.1f}, {1.5f, 0.2f}, {1.6f, 0.25f}},
    {3, {1.5f, -0.3f}, {1.55f, -0.2f}, {1.25f, -0.05f}, {1.25f, -0.35f}},
};

// The three shadow casters fold into a triangle (phase 12).
constexpr SegmentMove kCasterMoves[3] = {
    {2, {-0.075f, 0.0f}, {-0.09f, 0.14f}, {0.075f, 0.0f}, {0.09f, 0.0f}},
    {3, {-0.225f, 0.0f}, {-0.09f, -0.14f}, {-0.375f, 0.0f}, {-0.09f, 0.14f}},
    {4, {0.225f, 0.0f}, {-0.09f, -0.14f}, {0.375f, 0.0f}, {0.09f, 0.0f}},
};

// ---- Lumeklogo -------------------------------------------------------------

void panAcrossLogo(Frame& fr) {
    fr.show(kLumeklogo);
    fr.viewCentre.x = f(0.0005f * static_cast<double>(fr.t) - 2.5f);
    fr.viewHeight = 1.1f;
}

void holdOnLogo(Frame& fr) {
    fr.viewCentre.x = 1.5f;
    fr.viewHeight = 1.1f;
}

void reshapeLogo(Frame& fr) {
    holdOnLogo(fr);
    moveSegments(fr.lib, kLumeklogo, kLogoMoves, 0.00025f * fr.since(10000));
}

void finishLogoReshape(Frame& fr) { moveSegments(fr.lib, kLumeklogo, kLogoMoves, 1.0); }

void driftAndZoomOut(Frame& fr) {
    const double d = fr.since(16000);
    const double drop = 0.0003f * d;
    fr.viewCentre = {f(1.5f + 0.0001f * d), f(-(drop * drop))};
    fr.viewHeight = f(1.1f + 0.001f * d);
}

// ---- ColorCircles: a mirrored, spinning view --------------------------------

void spinAxes(Frame& fr) {
    const double a = 0.003f * fr.since(30000);
    const double s = std::sin(a), c = std::cos(a);
    fr.axisX = {f(s), f(c)};
    fr.axisY = {f(c), f(-s)};
}

void spinZoomingOut(Frame& fr) {
    fr.viewHeight = f(0.2f + 0.0005f * fr.since(30000));
    spinAxes(fr);
}

void spinZoomingIn(Frame& fr) {
    spinAxes(fr);
    fr.viewHeight = f(4.2f - 0.0005f * fr.since(38000));
}

// ---- Boxes and Spotlight ----------------------------------------------------

void lightThroughBoxes(Frame& fr) {
    const double b = 0.000125f * fr.since(54000);
    const double y = fr.t <= 54000 ? b * b : -(b * b);
    fr.lib.circle(kBoxes, 0).setCircle(0.1f, 0.0f, f(y));
}

void spotlight(Frame& fr) {
    int32_t level;
    if (fr.t <= 69999)
        level = trunc32(0.04f * fr.since(64000));  // negative before 64000
    else if (fr.t <= 90000)
        level = 240;
    else
        level = 240 - trunc32(0.04f * fr.since(90000));
    fr.lib[kSpotlight][0]->setColor(level, level, level);

    const double d = 0.0008f * fr.since(64000);
    const double a1 = d - 2.356f, a2 = d - 0.7854f;
    const double px = 0.2f * std::sin(a1), py = 0.2f * std::cos(a1);
    const double qx = 0.2f * std::sin(a2), qy = 0.2f * std::cos(a2);
    SegmentShape& one = fr.lib.segment(kSpotlight, 1);
    one.setStart(f(px), f(py));
    one.setEnd(f(qx), f(qy));
    SegmentShape& two = fr.lib.segment(kSpotlight, 2);
    two.setStart(f(px), f(py));
    two.setEnd(f(-qx), f(-qy));
}

// ---- Shadow1: two lights and three pulsing casters --------------------------

void pulseCasters(Frame& fr) {
    const int32_t k = 64 - trunc32(60.0f * std::cos(0.001f * fr.since(96000)));
    for (int shape : {2, 3, 4}) fr.lib[kShadow1][shape]->setColor(0, 0, k);
}

double theta(const Frame& fr) { return 0.00025f * fr.since(96000); }
double phi(const Frame& fr) { return 0.0005f * fr.since(96000); }

// sin and cos of theta as floats, kept away from zero for the divisions.
float awayFromZero(double v) {
    const float s = f(v);
    return std::fabs(s) < 0.001f ? 0.001f : s;
}

void lightsOnEllipse(Frame& fr) {
    const double p = phi(fr);
    fr.lib.circle(kShadow1, 1).setCircle(0.15f, f(0.6f * std::sin(p)), f(-0.3f * std::cos(p)));
    fr.lib.circle(kShadow1, 0).setCircle(0.15f, f(-0.6f * std::sin(p)), f(0.3f * std::cos(p)));
}

void lightsSweepLines(Frame& fr) {
    pulseCasters(fr);
    const float sv = awayFromZero(std::sin(theta(fr))), cv = awayFromZero(std::cos(theta(fr)));
    fr.lib.circle(kShadow1, 0).setCircle(0.15f, f(0.5f * static_cast<double>(cv) / sv), 0.3f);
    fr.lib.circle(kShadow1, 1).setCircle(0.15f, f(0.5f * static_cast<double>(sv) / cv), -0.3f);
}

void greenOntoEllipse(Frame& fr) {
    pulseCasters(fr);
    const float sv = awayFromZero(std::sin(theta(fr))), cv = awayFromZero(std::cos(theta(fr)));
    const double p = phi(fr);
    fr.lib.circle(kShadow1, 1).setCircle(0.15f, f(0.6f * std::sin(p)), f(-0.3f * std::cos(p)));
    fr.lib.circle(kShadow1, 0).setCircle(0.15f, f(-0.5f * static_cast<double>(cv) / sv), -0.3f);
}

void lightsCircling(Frame& fr) {
    pulseCasters(fr);
    lightsOnEllipse(fr);
}

void castersFold(Frame& fr) {
    pulseCasters(fr);
    moveSegments(fr.lib, kShadow1, kCasterMoves, 0.0001f * fr.since(155000));
    lightsOnEllipse(fr);
}

void finishCastersFold(Frame& fr) { moveSegments(fr.lib, kShadow1, kCasterMoves, 1.0); }

void zoomIntoCasters(Frame& fr) {
    lightsCircling(fr);
    if (fr.t > 185250) fr.viewHeight = f(1.0f - 0.00019f * fr.since(185250));
}

// ---- Shadow2: occluders on two tracks, turning paddles ----------------------

void discsAndPaddles(Frame& fr, double x1, double x2) {
    CircleShape* const discs[] = {&fr.lib.circle(kShadow2, 0), &fr.lib.circle(kShadow2, 1),
                                  &fr.lib.circle(kShadow2, 2), &fr.lib.circle(kShadow2, 3)};
    discs[0]->setCircle(0.05f, f(x1), 0.24f);
    discs[1]->setCircle(0.05f, f(x1), -0.24f);
    discs[2]->setCircle(0.05f, f(x2), 0.24f);
    discs[3]->setCircle(0.05f, f(x2), -0.24f);

    const double b = 0.003f * fr.since(196000);
    const float sv = f(std::sin(b)), cv = f(std::cos(b));
    const double p = 0.07f * static_cast<double>(sv), q = 0.07f * static_cast<double>(cv);
    SegmentShape& lower = fr.lib.segment(kShadow2, 4);
    lower.setStart(f(p), f(-0.09f - q));
    lower.setEnd(f(-p), f(q - 0.09f));
    SegmentShape& upper = fr.lib.segment(kShadow2, 5);
    upper.setStart(f(p), f(0.09f + q));
    upper.setEnd(f(-p), f(0.09f - q));
}

double track(double w) { return 0.0003f * w - 0.75f; }

void cameraSettles(Frame& fr) {
    const double pan = 0.000125f * fr.since(200000);
    fr.viewCentre.x = f(pan * pan);
    // Unsigned differences: before their start the discs sit far off to
    // the right.
    const uint32_t w1 = fr.t - 200000u, w2 = fr.t - 197500u;
    discsAndPaddles(fr, track(w1), track(w2));
}

void conveyor(Frame& fr) {
    discsAndPaddles(fr, track(fr.t % 5000u), track((fr.t + 2500u) % 5000u));
}

void cameraPansAway(Frame& fr) {
    const double pan = 0.0001f * fr.since(220000);
    fr.viewCentre.x = f(-(pan * pan));
    discsAndPaddles(fr, track(fr.since(220000)), track(fr.since(217500)));
}

// ---- Shadow3: soft shadows --------------------------------------------------

void softShadows(Frame& fr) {
    const uint32_t offsets[] = {1140u, 3140u, 5140u};
    for (int i = 0; i < 3; ++i) {
        const double x = 0.00035f * static_cast<double>((fr.t + offsets[i]) % 6000u) - 1.3f;
        SegmentShape& s = fr.lib.segment(kShadow3, i + 1);
        s.setStart(f(x), 0.0f);
        s.setEnd(f(x + 0.4f), 0.0f);
    }
    const float c = f(std::cos(0.0004f * fr.since(230000)));
    const double r = 1.2f - 1.15f * static_cast<double>(std::fabs(c));
    fr.lib.circle(kShadow3, 0).setCircle(f(r), 0.0f, f(r + 0.2f));

    if (fr.t <= 239999) {
        const double rise = 0.00015f * fr.since(240000);
        fr.viewCentre.y = f(-(rise * rise));
    } else if (fr.t > 272000) {
        const double b = 0.0003f * fr.since(272000);
        fr.viewCentre.y = f(b * b);
        fr.viewHeight = f(1.0f - 0.5f * b);
    }
}

// ---- XMas, FarLights, WhiteDisc ---------------------------------------------

void lettering(Frame& fr) {
    const double d = fr.since(275000);
    fr.viewCentre = {f(0.00012f * d - 1.8f), f(0.0001f * d - 1.5f)};
    fr.lib.circle(kXMas, 0).setCircle(0.5f, f(0.00025f * d - 1.8f), -1.5f);
    fr.viewHeight = fr.t <= 276999 ? f(0.4f + static_cast<double>(1.8f) * 0.001f * d) : 4.0f;
}

void wideView(Frame& fr) { fr.viewHeight = 4.0f; }

void finalZoomOut(Frame& fr) {
    const double z = 0.01f * fr.since(308000);
    fr.viewHeight = f(1.0f + z * z);
}

// ---- Ending actions that touch the view -------------------------------------

void endPan(Frame& fr) { fr.viewCentre.x = 1.5f; }
void endLogo(Frame& fr) { fr.viewHeight = 0.25f; }
void endZoom(Frame& fr) { fr.viewCentre.x = 10.0f; }
void endShadow2(Frame& fr) { fr.viewCentre.y = -10.0f; }
void endShadow3(Frame& fr) {
    fr.viewHeight = 0.2f;
    fr.viewCentre = {-1.8f, -1.5f};
}
void shear(Frame& fr) { fr.axisY.x = 0.8f; }

constexpr int kNoSwitch = -1;

struct Phase {
    void (*step)(Frame&);   // null: the default view, nothing else
    uint32_t endsAfter;     // ends on the first call with t greater than this
    int showNext;           // list shown from the ending frame on, or kNoSwitch
    void (*ending)(Frame&); // further ending actions, or null
};

constexpr Phase kPhases[kPhaseCount] = {
    /* 0 */ {panAcrossLogo, 8000, kNoSwitch, endPan},
    /* 1 */ {holdOnLogo, 10000, kNoSwitch, nullptr},
    /* 2 */ {reshapeLogo, 14000, kNoSwitch, finishLogoReshape},
    /* 3 */ {holdOnLogo, 16000, kNoSwitch, nullptr},
    /* 4 */ {driftAndZoomOut, 30000, kColorCircles, endLogo},
    /* 5 */ {spinZoomingOut, 38000, kNoSwitch, nullptr},
    /* 6 */ {spinZoomingIn, 46000, kBoxes, nullptr},
    /* 7 */ {lightThroughBoxes, 64000, kSpotlight, nullptr},  // continues into phase 8
    /* 8 */ {spotlight, 96000, kShadow1, nullptr},
    /* 9 */ {lightsSweepLines, 133700, kNoSwitch, nullptr},
    /* 10 */ {greenOntoEllipse, 140000, kNoSwitch, nullptr},
    /* 11 */ {lightsCircling, 155000, kNoSwitch, nullptr},
    /* 12 */ {castersFold, 165000, kNoSwitch, finishCastersFold},
    /* 13 */ {zoomIntoCasters, 190250, kShadow2, endZoom},
    /* 14 */ {cameraSettles, 200000, kNoSwitch, nullptr},
    /* 15 */ {conveyor, 220000, kNoSwitch, nullptr},
    /* 16 */ {cameraPansAway, 230000, kShadow3, endShadow2},
    /* 17 */ {softShadows, 275000, kXMas, endShadow3},
    /* 18 */ {lettering, 300000, kNoSwitch, shear},
    /* 19 */ {wideView, 302000, kNoSwitch, shear},
    /* 20 */ {wideView, 302500, kNoSwitch, shear},
    /* 21 */ {wideView, 303500, kNoSwitch, shear},
    /* 22 */ {wideView, 305000, kFarLights, nullptr},
    /* 23 */ {nullptr, 308000, kWhiteDisc, nullptr},
    /* 24 */ {finalZoomOut, 312000, kNoSwitch, nullptr},
};

constexpr uint32_t kContinuingPhase = 7;

// One phase's step and end test.
void runPhase(Frame& fr, uint32_t index) {
    const Phase& phase = kPhases[index];
    if (phase.step != nullptr) phase.step(fr);
    if (fr.t <= phase.endsAfter) return;
    if (phase.showNext != kNoSwitch) fr.show(phase.showNext);
    if (phase.ending != nullptr) phase.ending(fr);
    ++fr.state.timelinePhase;
}

}  // namespace

uint32_t phaseEndMs(uint32_t phase) { return kPhases[phase].endsAfter; }

bool stepTimeline(TimelineState& state, SceneLibrary& library, uint32_t elapsedMs,
                  Vec2& viewCentre, Vec2& axisX, Vec2& axisY, float& viewHeight) {
    viewCentre = {0.0f, 0.0f};
    axisX = {1.0f, 0.0f};
    axisY = {0.0f, 1.0f};
    viewHeight = 1.0f;
    if (state.timelinePhase >= kPhaseCount) return true;

    Frame fr{library, state, elapsedMs, viewCentre, axisX, axisY, viewHeight};
    const uint32_t phase = state.timelinePhase;
    runPhase(fr, phase);
    // The Spotlight is posed while the Boxes still play, so its first frame
    // already shows the spotlight's pose.
    if (phase == kContinuingPhase) runPhase(fr, kContinuingPhase + 1);
    return !(phase == kPhaseCount - 1 && state.timelinePhase == kPhaseCount);
}

}  // namespace lumek
