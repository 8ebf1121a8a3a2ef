// The screenshot mode: the shot table's views rendered at 1024 x 768 and
// written as raw RGB files (and PNG pictures).
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
#include "scenes/scene_file.h"
#include "shots/table.h"
#include "util/switches.h"

namespace lumek {

// The file's bytes: red, green, blue of every pixel, rows from the top.
std::string rawImageBytes(const FrameImage& image);

// The same from `count` pixels of four bytes into 3 x `count` bytes.
void rgbFromRgba(const uint8_t* rgba, size_t count, char* rgb);

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
    // --size: the pictures' size instead of 1024 x 768 (the same view
    // centre and height, square pixels, the width following the shape).
    std::optional<switches::PictureSize> size = std::nullopt;
    // --output: the one picture's name instead of the row's (a final ".raw"
    // or ".png" is the kind's, the other file gets the other ending).
    std::optional<std::string> output = std::nullopt;
};

// The raw file's name for --output NAME: NAME with a final ".png" or ".raw"
// taken off, then ".raw".
std::string rawNameForOutput(const std::string& output);

// The status of a run stopped by a request: the shell's code for Ctrl+C.
constexpr int kStoppedStatus = 130;

// Runs the screenshot mode when the text asks for it ("-shot" anywhere) and
// returns the exit status (0; 1 when a file could not be written, or when
// --output is given for more than one row, before anything is written; 130
// when stopped early); nothing when it was not asked for.
std::optional<int> ScreenshotRun(const char* commandLine, ShotEnvironment& env);

// The base of a scene picture's file names: --output without a final
// ".png" or ".raw", else the scene file's name without its folder and a
// final ".json" (the pictures go to the current folder).
std::string pictureBaseName(const std::string& sceneFile, const std::optional<std::string>& output);

// One picture of a scene at `seconds`, at the file's size or --size: the
// raw file (BASE.raw) when `raw`, the PNG (BASE.png) when `png`. Its jitter
// starts from the state the file gives the frame that shows that moment.
// Returns 0, or 1 when a file could not be written or memory ran out.
int ScenePictureRun(const SceneDocument& scene, const std::string& baseName, double seconds,
                    bool raw, bool png, ShotEnvironment& env);

}  // namespace lumek
