// Scene files: a person's own scene as a versioned JSON document
// ("format": "lumek-scene", "version": 1), read, checked, written back
// canonically and posed for the renderer at any time or frame.
//
// docs/scene-format.md is the format's reference. In short: a view, an
// ordered list of shapes (discs, segments, polylines, polygons), optional
// keyframes on a shape's numbers and on the view, an optional default
// picture size, seed, duration and frame rate.
//
// The same bytes everywhere: every number the renderer sees is a float read
// from the file's decimal text with one correct rounding, and poses are
// computed in doubles from those floats and stored as floats. A frame's
// jitter starts from a generator state made of the seed and the frame's
// number alone (sceneFrameState), so frames can be rendered in any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/shapes.h"

namespace lumek {

// ---- Limits --------------------------------------------------------------

// The most segments and discs a scene may expand to (polylines and polygons
// count one per segment). The renderer's candidate lists index shapes in 16
// bits; raise this one constant when they take more.
constexpr size_t kMaxSceneShapes = 65535;

// Picture sizes, in pixels, for each edge.
constexpr int32_t kMinPictureEdge = 1;
constexpr int32_t kMaxPictureEdge = 16384;

// Coordinates, radii and view heights lie within this magnitude: there the
// renderer's distances stay below its 1,000,000 cut-off and its double
// intermediates exact enough for the same bytes on every build.
constexpr double kMaxSceneCoordinate = 100000.0;

// Falloffs lie in 0 .. this.
constexpr double kMaxFalloff = 1.0e6;

// Times (keys, duration) lie in 0 .. this many seconds (a day).
constexpr double kMaxSceneSeconds = 86400.0;

// Frame rates are whole numbers of frames a second, 1 .. this.
constexpr int kMaxSceneFps = 1000;

// Files larger than this are refused before they are parsed.
constexpr uint64_t kMaxSceneFileBytes = 32ull << 20;

constexpr const char* kSceneFormatName = "lumek-scene";
constexpr int kSceneFormatVersion = 1;

// What a file leaves out.
constexpr int32_t kDefaultSceneWidth = 1024;
constexpr int32_t kDefaultSceneHeight = 768;
constexpr uint32_t kDefaultSceneSeed = 1;  // the generator's own start state
constexpr int kDefaultSceneFps = 30;

// ---- The document ----------------------------------------------------------

// How a key is reached from the key before it (the value before the first
// key is the first key's, after the last the last key's).
enum class Easing : uint8_t {
    Linear,  // "linear" (the default)
    In,      // "in": u * u
    Out,     // "out": 1 - (1 - u)^2
    InOut,   // "in-out": u * u * (3 - 2u)
    Step,    // "step": holds the earlier key's value until this key's time
};

struct SceneColour {
    int32_t r = 0, g = 0, b = 0;
};

// A value of a shape or of the view that keys may change; `has` says
// whether a key sets it.
struct ShapeKey {
    double time = 0.0;  // seconds, as written (read as a double)
    Easing easing = Easing::Linear;
    std::optional<Vec2> centre;               // disc
    std::optional<float> radius;              // disc
    std::optional<Vec2> start, end;           // segment
    std::optional<std::vector<Vec2>> points;  // polyline, polygon (same count)
    std::optional<SceneColour> colour;
    std::optional<float> falloff;
};

enum class SceneShapeType : uint8_t { Disc, Segment, Polyline, Polygon };

struct SceneShape {
    SceneShapeType type = SceneShapeType::Disc;
    std::string id;  // empty when the file gives none
    SceneColour colour;
    float falloff = 0.0f;
    Vec2 centre;                 // disc
    float radius = 0.0f;         // disc
    Vec2 start, end;             // segment
    std::vector<Vec2> points;    // polyline (2 or more), polygon (3 or more)
    std::vector<ShapeKey> keys;  // in increasing time
};

struct ViewKey {
    double time = 0.0;
    Easing easing = Easing::Linear;
    std::optional<Vec2> centre;
    std::optional<float> height;
    std::optional<float> rotation;  // degrees
};

struct SceneView {
    Vec2 centre;
    float height = 1.0f;    // scene units covered by the picture's height
    float rotation = 0.0f;  // degrees; 0 puts x to the right and y down
    std::vector<ViewKey> keys;
};

struct SceneDocument {
    std::string title;  // empty when the file gives none
    SceneView view;
    std::vector<SceneShape> shapes;
    // Optional fields keep whether the file gave them, so a save writes
    // back exactly what was read.
    std::optional<int32_t> width, height;  // "size": [w, h], both or neither
    std::optional<uint32_t> seed;
    std::optional<double> duration;  // seconds
    std::optional<int> fps;

    int32_t pictureWidth() const { return width.value_or(kDefaultSceneWidth); }
    int32_t pictureHeight() const { return height.value_or(kDefaultSceneHeight); }
    uint32_t frameSeed() const { return seed.value_or(kDefaultSceneSeed); }
    int framesPerSecond() const { return fps.value_or(kDefaultSceneFps); }
    bool animated() const { return duration.has_value(); }
    // Frames of the whole run: duration x fps rounded to the nearest whole
    // number, at least 1; a still scene has 1.
    int64_t frameCount() const;
    // The segments and discs the scene expands to.
    size_t expandedShapeCount() const;
};

// ---- Reading --------------------------------------------------------------

// Why a file was refused: the file's name as given, the place (line and
// column from 1, 0 when the fault is the file as a whole; the JSON path
// such as "shapes[12].radius", with the shape's id when it has one) and
// what was expected.
struct SceneError {
    std::string file;
    int64_t line = 0;
    int64_t column = 0;
    std::string path;
    std::string message;

    // One line, no line end: "FILE:LINE:COLUMN: PATH: MESSAGE" (parts that
    // are unknown left out).
    std::string text() const;
};

// Reads `text` as a scene (`fileName` only names it in errors). Nothing or
// an error; never throws but std::bad_alloc.
struct SceneParse {
    std::optional<SceneDocument> document;
    SceneError error;
    explicit operator bool() const { return document.has_value(); }
};
SceneParse parseScene(const std::string& text, const std::string& fileName);

// Reads the file at `path`: refused when missing, not a regular file (a
// FIFO is never waited on) or larger than kMaxSceneFileBytes.
SceneParse loadScene(const std::string& path);

// ---- Writing --------------------------------------------------------------

// The document as canonical JSON text: fields in a fixed order, two-space
// indentation, floats in their shortest text that reads back to the same
// float, a final line end. Reading the result and writing it again gives
// the same bytes.
std::string writeScene(const SceneDocument& document);

// ---- Posing ----------------------------------------------------------------

// What the renderer takes for one frame (its render() arguments).
struct ScenePose {
    Vec2 viewCentre;
    Vec2 axisX{1.0f, 0.0f};
    Vec2 axisY{0.0f, 1.0f};
    float viewHeight = 1.0f;
};

// Shapes made from a document, owned; `list` borrows them in the file's
// order (polylines and polygons expanded in place, segment by segment).
class PosedScene {
  public:
    PosedScene() = default;
    PosedScene(const PosedScene&) = delete;
    PosedScene& operator=(const PosedScene&) = delete;
    PosedScene(PosedScene&&) = default;
    PosedScene& operator=(PosedScene&&) = default;

    const ShapeList& list() const { return list_; }
    ScenePose pose;

  private:
    friend void poseScene(const SceneDocument&, double, PosedScene&);
    // Owned shapes in list order.
    std::vector<std::unique_ptr<Shape>> owned_;
    ShapeList list_;
};

// Poses the document at `seconds` (keys interpolated; a still scene is the
// same at every time) into `scene`, reusing its shapes when their kinds
// match. The pictures use square pixels: render into an image of aspect 1.
void poseScene(const SceneDocument& document, double seconds, PosedScene& scene);

// The time of frame `frame`: frame / fps.
double sceneFrameTime(const SceneDocument& document, int64_t frame);

// The frame whose jitter a picture at `seconds` uses: the last frame that
// starts at or before it (0 for a still scene, at most 86,400,000).
int64_t sceneFrameAt(const SceneDocument& document, double seconds);

// The generator state frame `frame` starts from: seed XOR mix(frame), where
// mix is a fixed 32-bit integer hash with mix(0) = 0 (so frame 0 starts
// from the seed itself). Set it with RandomStream::setState before the
// frame's render.
uint32_t sceneFrameState(uint32_t seed, int64_t frame);
uint32_t frameMix(uint32_t frame);

// A built-in scene list as a document: its shapes in order, the view's
// centre and height (axes unrotated), and a title. Throws
// std::invalid_argument for what a file cannot hold (a colour beyond
// 0 ... 255).
SceneDocument sceneFromShapes(const ShapeList& shapes, Vec2 viewCentre, float viewHeight,
                              const std::string& title);

}  // namespace lumek
