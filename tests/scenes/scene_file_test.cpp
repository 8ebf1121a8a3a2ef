#include "scenes/scene_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "support/files.h"

namespace lumek {
namespace {

std::string sceneText(const std::string& shapes, const std::string& extra = "") {
    return "{\n  \"format\": \"lumek-scene\",\n  \"version\": 1,\n" + extra +
           "  \"view\": {\"centre\": [0, 0], \"height\": 2},\n  \"shapes\": [\n" + shapes +
           "\n  ]\n}\n";
}

const char* const kDisc =
    "    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": 0.5, \"colour\": \"#ff8000\", "
    "\"falloff\": 2}";

SceneDocument parsed(const std::string& text) {
    SceneParse p = parseScene(text, "t.json");
    EXPECT_TRUE(p) << p.error.text();
    return p ? *p.document : SceneDocument{};
}

// ---- Reading and writing ----------------------------------------------------

TEST(SceneFile, ReadsEveryFieldAndWritesItBackTheSame) {
    const std::string text = R"({
  "format": "lumek-scene",
  "version": 1,
  "title": "A \"test\" scene",
  "size": [640, 360],
  "seed": 4000000000,
  "duration": 2.5,
  "fps": 24,
  "view": {"centre": [0.25, -1], "height": 3, "rotation": 12.5, "keys": [
    {"time": 0, "height": 3},
    {"time": 2.5, "easing": "in-out", "centre": [1, 1], "rotation": -30}
  ]},
  "shapes": [
    {"type": "disc", "id": "sun", "centre": [0.1, 0.2], "radius": 0.3, "colour": "#ffcc00", "falloff": 0.5, "keys": [
      {"time": 0, "radius": 0.3, "colour": "#000000"},
      {"time": 1, "easing": "step", "centre": [1e-05, -7], "falloff": 0}
    ]},
    {"type": "segment", "start": [-1, 0], "end": [1, 0], "colour": "#102030", "falloff": 40},
    {"type": "polyline", "id": "wire", "points": [[0, 0], [1, 1], [2, 0]], "colour": "#ffffff", "falloff": 1},
    {"type": "polygon", "points": [[0, 0], [1, 0], [0, 1]], "colour": "#00ff00", "falloff": 3, "keys": [
      {"time": 0.5, "easing": "out", "points": [[0, 0], [2, 0], [0, 2]]}
    ]}
  ]
}
)";
    const SceneDocument doc = parsed(text);
    EXPECT_EQ(doc.title, "A \"test\" scene");
    EXPECT_EQ(doc.pictureWidth(), 640);
    EXPECT_EQ(doc.pictureHeight(), 360);
    EXPECT_EQ(doc.frameSeed(), 4000000000u);
    EXPECT_EQ(doc.framesPerSecond(), 24);
    EXPECT_EQ(doc.frameCount(), 60);
    ASSERT_EQ(doc.shapes.size(), 4u);
    EXPECT_EQ(doc.shapes[0].id, "sun");
    EXPECT_EQ(doc.shapes[0].colour.r, 255);
    EXPECT_EQ(doc.shapes[0].colour.g, 204);
    EXPECT_EQ(doc.shapes[0].centre.x, 0.1f);
    EXPECT_EQ(doc.shapes[0].keys[1].easing, Easing::Step);
    EXPECT_EQ(doc.shapes[0].keys[1].centre->x, 1e-05f);
    EXPECT_EQ(doc.view.keys[1].easing, Easing::InOut);
    EXPECT_EQ(doc.expandedShapeCount(), 1u + 1u + 2u + 3u);
    EXPECT_EQ(writeScene(doc), text);
}

TEST(SceneFile, CanonicalTextComesBackFromAnyLayout) {
    // Arrays for colours, other spacing, fields in another order, no title.
    const std::string loose =
        R"({"shapes":[{"falloff":1.50,"colour":[1,2,255],"radius":2E-1,"centre":[3,4],"type":"disc"}],
            "view":{"height":1.0,"centre":[0,0]},"version":1,"format":"lumek-scene"})";
    const std::string canonical = writeScene(parsed(loose));
    EXPECT_EQ(
        canonical,
        "{\n  \"format\": \"lumek-scene\",\n  \"version\": 1,\n"
        "  \"view\": {\"centre\": [0, 0], \"height\": 1},\n  \"shapes\": [\n"
        "    {\"type\": \"disc\", \"centre\": [3, 4], \"radius\": 0.2, \"colour\": \"#0102ff\", "
        "\"falloff\": 1.5}\n  ]\n}\n");
    EXPECT_EQ(writeScene(parsed(canonical)), canonical);
    EXPECT_EQ(writeScene(parsed(sceneText(""))),
              sceneText("").replace(sceneText("").find("[\n\n  ]"), 6, "[]"));
}

// Every float a file can hold must read back as the very same float from
// the text the writer gives it, including those whose shortest decimal lies
// close to the midpoint between two floats.
TEST(SceneFile, FloatsSurviveTheTextExactly) {
    SceneDocument doc;
    doc.view.height = 1.0f;
    uint32_t bits = 0x2f000000u;  // about 1e-10
    std::vector<float> values;
    for (int i = 0; i < 20000; ++i) {
        bits = bits * 1664525u + 1013904223u;
        float f;
        const uint32_t b = (bits & 0x80ffffffu) | ((0x60u + (bits >> 24) % 0x2fu) << 23);
        std::memcpy(&f, &b, sizeof f);
        if (!(std::fabs(f) <= kMaxSceneCoordinate)) continue;
        values.push_back(f);
    }
    values.push_back(-0.0f);
    values.push_back(static_cast<float>(kMaxSceneCoordinate));
    values.push_back(std::nextafter(0.1f, 1.0f));
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
        SceneShape s;
        s.type = SceneShapeType::Segment;
        s.start = {values[i], values[i + 1]};
        s.end = {values[i + 1], values[i]};
        doc.shapes.push_back(s);
    }
    const std::string text = writeScene(doc);
    const SceneDocument back = parsed(text);
    ASSERT_EQ(back.shapes.size(), doc.shapes.size());
    size_t differing = 0;
    for (size_t i = 0; i < doc.shapes.size(); ++i) {
        const Vec2 a = doc.shapes[i].start, b = back.shapes[i].start;
        differing += std::memcmp(&a, &b, sizeof a) != 0;
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(writeScene(back), text);
}

// ---- Refusals: one line naming the file, the place and what was expected -----

struct Refusal {
    const char* what;
    std::string text;
    int64_t line;
    const char* at;  // the text that starts at the place named
    const char* path;
    const char* says;
};

TEST(SceneFile, RefusesBadInputNamingThePlace) {
    const std::string disc = kDisc;
    const Refusal cases[] = {
        {"not JSON", "{\n  \"format\": \"lumek-scene\",\n  \"version\": 1,,\n}", 3, ",\n}", "",
         "not JSON"},
        {"another format", "{\"format\": \"lumek-record\", \"version\": 1}", 1, "\"lumek-record\"",
         "format", "another format"},
        {"no format", "[1, 2]", 1, "[1, 2]", "", "expected a JSON object"},
        {"a NUL byte", sceneText(disc) + std::string("\0rest of a damaged file", 23), 9, "",
         "", "a NUL byte"},
        {"newer version", "{\"format\": \"lumek-scene\",\n \"version\": 2}", 2, "2}", "version",
         "newer than this program reads"},
        {"missing field",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"colour\": "
                   "\"#ffffff\", \"falloff\": 1}"),
         6, "{\"type\"", "shapes[0]", "missing field \"radius\""},
        {"unknown field",
         sceneText(disc + ",\n    {\"type\": \"disc\", \"id\": \"moon\", "
                          "\"centre\": [0, 0], \"radus\": 1, \"colour\": "
                          "\"#ffffff\", \"falloff\": 1}"),
         7, "\"radus\"", "shapes[1].radus (id \"moon\")", "nearest known field is \"radius\""},
        {"wrong type",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": "
                   "\"big\", \"colour\": \"#ffffff\", \"falloff\": 1}"),
         6, "\"big\"", "shapes[0].radius", "expected a radius, a number"},
        {"out of range",
         sceneText("    {\"type\": \"disc\", \"centre\": [1e300, 0], "
                   "\"radius\": 1, \"colour\": \"#ffffff\", \"falloff\": 1}"),
         6, "1e300", "shapes[0].centre[0]", "expected a coordinate from -100000 to 100000"},
        {"colour",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": 1, "
                   "\"colour\": [0, 256, 0], \"falloff\": 1}"),
         6, "256", "shapes[0].colour[1]", "from 0 to 255"},
        {"hex colour",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": 1, "
                   "\"colour\": \"#-10000\", \"falloff\": 1}"),
         6, "\"#-10000\"", "shapes[0].colour", "#rrggbb"},
        {"falloff",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": 1, "
                   "\"colour\": \"#ffffff\", \"falloff\": -1}"),
         6, "-1}", "shapes[0].falloff", "expected a falloff from 0"},
        {"beyond a double", sceneText(disc, "  \"seed\": -1e400,\n"), 4, "-1e400", "",
         "a number too large to read: -1e400"},
        {"size", sceneText(disc, "  \"size\": [16385, 10],\n"), 4, "16385", "size[0]",
         "expected a width from 1 to 16384"},
        {"keys out of order",
         sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"radius\": 1, \"colour\": "
                   "\"#ffffff\", \"falloff\": 1, \"keys\": [{\"time\": 2, \"radius\": 1}, "
                   "{\"time\": 1, \"radius\": 2}]}"),
         6, "1, \"radius\": 2", "shapes[0].keys[1].time", "increasing time"},
        {"points in a key",
         sceneText("    {\"type\": \"polygon\", \"points\": [[0, 0], [1, 0], [0, 1]], \"colour\": "
                   "\"#ffffff\", \"falloff\": 1, \"keys\": [{\"time\": 1, \"points\": [[0, 0], "
                   "[1, 1]]}]}"),
         6, "[[0, 0], [1, 1]]", "shapes[0].keys[0].points", "expected 3 points"},
        {"twice", sceneText(disc, "  \"seed\": 1,\n  \"seed\": 2,\n"), 5, "\"seed\": 2", "seed",
         "given twice"},
        {"same id",
         sceneText("    {\"type\": \"disc\", \"id\": \"a\", \"centre\": [0, 0], \"radius\": 1, "
                   "\"colour\": \"#ffffff\", \"falloff\": 1},\n    {\"type\": \"segment\", \"id\": "
                   "\"a\", \"start\": [0, 0], \"end\": [1, 1], \"colour\": \"#ffffff\", "
                   "\"falloff\": 1}"),
         7, "\"a\", \"start\"", "shapes[1].id (id \"a\")", "already that of shapes[0]"},
        {"nesting", std::string(100, '[') + std::string(100, ']'), 1, "[[[[", "",
         "nested more than"},
    };
    for (const Refusal& c : cases) {
        const SceneParse p = parseScene(c.text, "my scene.json");
        ASSERT_FALSE(p) << c.what;
        EXPECT_EQ(p.error.file, "my scene.json") << c.what;
        EXPECT_EQ(p.error.line, c.line) << c.what << ": " << p.error.text();
        size_t offset = 0;
        for (int64_t l = 1; l < p.error.line; ++l) offset = c.text.find('\n', offset) + 1;
        offset += static_cast<size_t>(p.error.column - 1);
        EXPECT_EQ(c.text.substr(offset, std::strlen(c.at)), c.at)
            << c.what << ": " << p.error.text();
        EXPECT_EQ(p.error.path, c.path) << c.what << ": " << p.error.text();
        EXPECT_NE(p.error.message.find(c.says), std::string::npos)
            << c.what << ": " << p.error.text();
        const std::string line = p.error.text();
        EXPECT_EQ(line.find('\n'), std::string::npos) << c.what;
        EXPECT_EQ(line.rfind("my scene.json:", 0), 0u) << c.what;
    }
}

// A field's name is the file's own text: its control characters never
// reach the terminal in the message that names it.
TEST(SceneFile, AMessageNamingTheFilesTextHoldsNoControlCharacter) {
    const SceneParse p = parseScene(
        sceneText("    {\"type\": \"disc\", \"centre\": [0, 0], \"r\\u001b[31madius\": 1, "
                  "\"colour\": \"#ffffff\", \"falloff\": 1}"),
        "esc\n.json");
    ASSERT_FALSE(p);
    const std::string text = p.error.text();
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    EXPECT_NE(text.find("esc\\x0a.json"), std::string::npos) << text;
}

TEST(SceneFile, RefusesMoreShapesThanTheLimit) {
    // One polygon of kMaxSceneShapes sides is the most; a segment more is not.
    std::string points;
    for (size_t i = 0; i < kMaxSceneShapes; ++i)
        points += (i ? ", [" : "[") + std::to_string(i % 1000) + ", " + std::to_string(i / 1000) + "]";
    const std::string polygon = "    {\"type\": \"polygon\", \"points\": [" + points +
                                "], \"colour\": \"#ffffff\", \"falloff\": 1}";
    EXPECT_TRUE(parseScene(sceneText(polygon), "big.json"));
    const SceneParse p = parseScene(sceneText(polygon + ",\n" + kDisc), "big.json");
    ASSERT_FALSE(p);
    EXPECT_EQ(p.error.path, "shapes[1]");
    EXPECT_EQ(p.error.line, 7);
    EXPECT_NE(p.error.message.find("more than " + std::to_string(kMaxSceneShapes) + " shapes"),
              std::string::npos);
}

TEST(SceneFile, LoadsOnlyRegularFilesOfBoundedSize) {
    test::TempDir dir;
    const std::string good = dir.file("good.json");
    test::writeFile(good, sceneText(kDisc));
    EXPECT_TRUE(loadScene(good));

    const SceneParse missing = loadScene(dir.file("none.json"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error.text(), dir.file("none.json") + ": no such file");

    // A FIFO with no writer would block a plain open for ever.
    const std::string fifo = dir.file("fifo.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const SceneParse pipe = loadScene(fifo);
    ASSERT_FALSE(pipe);
    EXPECT_EQ(pipe.error.message, "not a regular file");
    EXPECT_EQ(loadScene(dir.path()).error.message, "not a regular file");

    // Sparse: refused from its size alone, nothing is read.
    const std::string huge = dir.file("huge.json");
    test::writeFile(huge, "{");
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kMaxSceneFileBytes + 1)), 0);
    const SceneParse large = loadScene(huge);
    ASSERT_FALSE(large);
    EXPECT_NE(large.error.message.find("more than the 33554432"), std::string::npos);
}

// ---- Posing ------------------------------------------------------------------

TEST(SceneFile, PosesKeysWithTheirEasings) {
    const SceneDocument doc = parsed(sceneText(
        "    {\"type\": \"disc\", \"centre\": [9, 9], \"radius\": 1, \"colour\": \"#000000\", "
        "\"falloff\": 1, \"keys\": [\n"
        "      {\"time\": 1, \"centre\": [0, 0], \"colour\": \"#000000\"},\n"
        "      {\"time\": 3, \"centre\": [4, -2], \"colour\": [255, 100, 1]},\n"
        "      {\"time\": 5, \"easing\": \"in\", \"centre\": [8, -2]},\n"
        "      {\"time\": 7, \"easing\": \"step\", \"centre\": [0, 0]}]}",
        "  \"duration\": 8,\n"));
    PosedScene scene;
    auto centreAt = [&](double t) {
        poseScene(doc, t, scene);
        return static_cast<const CircleShape&>(*scene.list()[0]).centre;
    };
    EXPECT_EQ(centreAt(0.0), (Vec2{0, 0}));   // before the first key: its value
    EXPECT_EQ(centreAt(2.0), (Vec2{2, -1}));  // linear
    EXPECT_EQ(centreAt(4.0), (Vec2{5, -2}));  // "in": a quarter of the way
    EXPECT_EQ(centreAt(6.9), (Vec2{8, -2}));  // "step" holds
    EXPECT_EQ(centreAt(7.0), (Vec2{0, 0}));
    EXPECT_EQ(centreAt(100.0), (Vec2{0, 0}));
    poseScene(doc, 2.0, scene);
    const Shape& shape = *scene.list()[0];
    EXPECT_EQ(shape.red, 128);  // 127.5 rounds up
    EXPECT_EQ(shape.green, 50);
    EXPECT_EQ(shape.blue, 1);                                        // 0.5 rounds up
    EXPECT_EQ(static_cast<const CircleShape&>(shape).radius, 1.0f);  // no key: the shape's own
}

TEST(SceneFile, ExpandsOutlinesInOrderAndKeepsTheView) {
    const SceneDocument doc = parsed(sceneText(
        std::string(kDisc) +
        ",\n    {\"type\": \"polygon\", \"points\": [[0, 0], [1, 0], [1, 1]], \"colour\": "
        "\"#ffffff\", \"falloff\": 1},\n"
        "    {\"type\": \"polyline\", \"points\": [[5, 5], [6, 6]], \"colour\": \"#ffffff\", "
        "\"falloff\": 1}"));
    PosedScene scene;
    poseScene(doc, 0.0, scene);
    ASSERT_EQ(scene.list().size(), 5u);
    EXPECT_EQ(scene.list()[0]->kind(), ShapeKind::Circle);
    const Vec2 starts[] = {{0, 0}, {1, 0}, {1, 1}, {5, 5}};
    const Vec2 dirs[] = {{1, 0}, {0, 1}, {-1, -1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        const auto& s = static_cast<const SegmentShape&>(*scene.list()[1 + i]);
        EXPECT_EQ(s.start, starts[i]) << i;
        EXPECT_EQ(s.dir, dirs[i]) << i;
    }
    EXPECT_EQ(scene.pose.viewHeight, 2.0f);
    EXPECT_EQ(scene.pose.axisX, (Vec2{1, 0}));
    EXPECT_EQ(scene.pose.axisY, (Vec2{0, 1}));

    // The same shapes are posed again, not made anew.
    const Shape* first = scene.list()[0];
    poseScene(doc, 1.0, scene);
    EXPECT_EQ(scene.list()[0], first);
}

TEST(SceneFile, TurnsTheViewExactlyOnQuarterTurns) {
    SceneDocument doc;
    PosedScene scene;
    const std::pair<float, std::pair<Vec2, Vec2>> turns[] = {
        {90.0f, {{0, 1}, {-1, 0}}},
        {-90.0f, {{0, -1}, {1, 0}}},
        {540.0f, {{-1, 0}, {0, -1}}},
    };
    for (const auto& [degrees, axes] : turns) {
        doc.view.rotation = degrees;
        poseScene(doc, 0.0, scene);
        EXPECT_EQ(scene.pose.axisX, axes.first) << degrees;
        EXPECT_EQ(scene.pose.axisY, axes.second) << degrees;
        EXPECT_FALSE(std::signbit(scene.pose.axisY.x) && scene.pose.axisY.x == 0) << degrees;
    }
    doc.view.rotation = 30.0f;
    poseScene(doc, 0.0, scene);
    EXPECT_FLOAT_EQ(scene.pose.axisX.x, std::sqrt(3.0f) / 2);
    EXPECT_FLOAT_EQ(scene.pose.axisX.y, 0.5f);
    EXPECT_FLOAT_EQ(scene.pose.axisY.x, -0.5f);
}

TEST(SceneFile, FramesStartFromTheSeedAndTheirNumberAlone) {
    EXPECT_EQ(sceneFrameState(1, 0), 1u);  // frame 0: the seed itself
    EXPECT_EQ(sceneFrameState(12345, 0), 12345u);
    // Neighbouring frames and seeds start far apart.
    for (uint32_t frame = 1; frame < 200; ++frame) {
        const uint32_t a = sceneFrameState(7, frame), b = sceneFrameState(7, frame + 1);
        EXPECT_GE(__builtin_popcount(a ^ b), 4) << frame;
        EXPECT_NE(sceneFrameState(7, frame), sceneFrameState(8, frame));
    }

    SceneDocument doc;
    doc.duration = 2.0;
    doc.fps = 30;
    EXPECT_EQ(doc.frameCount(), 60);
    EXPECT_EQ(sceneFrameAt(doc, 0.1), 3);   // 0.1 x 30 is 3.0000000000000004
    EXPECT_EQ(sceneFrameAt(doc, 0.7), 21);  // 20.999999999999996
    EXPECT_EQ(sceneFrameAt(doc, sceneFrameTime(doc, 59)), 59);
    EXPECT_EQ(sceneFrameAt(doc, 1e300), 86400 * 1000);  // no overflow
    EXPECT_EQ(sceneFrameAt(doc, std::nan("")), 0);
    SceneDocument still;
    EXPECT_EQ(still.frameCount(), 1);
    EXPECT_EQ(sceneFrameAt(still, 5.0), 0);
}

}  // namespace
}  // namespace lumek
