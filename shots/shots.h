// The eight fixed scene views (shared with the benchmark) and the
// screenshot mode that writes them as raw RGB files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "render/random.h"
#include "render/renderer.h"
#include "render/slots.h"
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

// Applies the row's pose and renders its list into the renderer's image.
void renderShot(int row, SceneLibrary& library, RayRenderer& renderer);

// The file's bytes: red, green, blue of every pixel, rows from the top.
std::string rawImageBytes(const FrameImage& image);

// Writes the image as a raw file, replacing any old one whole; false (with
// the reason) when it could not be written.
bool writeRawImage(const char* fileName, const FrameImage& image, std::string& error);

struct ShotEnvironment {
    SceneLibrary& library;
    RenderSlots& slots;
    RandomStream& random;
    std::ostream& out;  // one line per file written
    std::ostream& err;  // one line per file that could not be written
    int threads = 1;    // the renderer's
    // Asked between pictures: true ends the run early (Ctrl+C), after the
    // file being written is complete.
    std::function<bool()> stopRequested = nullptr;
};

// The status of a run stopped by a request: the shell's code for Ctrl+C.
constexpr int kStoppedStatus = 130;

// Runs the screenshot mode when the text asks for it ("-shot" anywhere) and
// returns the exit status (0; 1 when a file could not be written; 130 when
// stopped early); nothing when it was not asked for.
std::optional<int> ScreenshotRun(const char* commandLine, ShotEnvironment& env);

}  // namespace lumek
