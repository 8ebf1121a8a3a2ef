#include "app/scene_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "render/renderer.h"
#include "scenes/library.h"
#include "scenes/scene_file.h"
#include "shots/shots.h"
#include "support/files.h"
#include "support/golden.h"
#include "support/sha256.h"

namespace lumek {
namespace {

// A document's frame as every mode renders it: posed at the frame's time,
// the generator started from the frame's state, square pixels.
std::string renderFrame(const SceneDocument& doc, int64_t frame) {
    FrameImage image(doc.pictureWidth(), doc.pictureHeight(), 1.0f);
    RandomStream random;
    random.setState(sceneFrameState(doc.frameSeed(), frame));
    RayRenderer renderer(&image, random, 2);
    PosedScene scene;
    poseScene(doc, sceneFrameTime(doc, frame), scene);
    ScenePose p = scene.pose;
    renderer.render(scene.list(), p.viewCentre, p.axisX, p.axisY, p.viewHeight);
    return rawImageBytes(image);
}

// The files carry every number of the scenes: each one read back renders
// its screenshot's golden picture (its seed is the generator's state where
// that picture starts in the run of all eight), and writing it again gives
// its bytes.
TEST(SceneCommands, BuiltInScenesRenderTheirGoldenPictures) {
    const std::vector<NamedText> files = builtInSceneFiles(2);
    ASSERT_EQ(files.size(), 10u);
    size_t golden = 0;
    for (const NamedText& file : files) {
        const SceneParse read = parseScene(file.text, file.name);
        ASSERT_TRUE(read) << read.error.text();
        EXPECT_EQ(writeScene(*read.document), file.text) << file.name;
        for (const auto& [name, hash] : test::kGoldenShots)
            if (file.name == std::string(name) + ".json") {
                EXPECT_EQ(test::sha256Hex(renderFrame(*read.document, 0)), hash) << name;
                ++golden;
            }
    }
    EXPECT_EQ(golden, 8u);

    // The two scenes without a screenshot: the library's own shapes in the
    // show's view give the same picture.
    const std::pair<int, float> shown[] = {{kFarLights, 4.0f}, {kWhiteDisc, 1.0f}};
    SceneLibrary library;
    buildSceneLibrary(library);
    for (const auto& [list, height] : shown) {
        FrameImage image(1024, 768, 1.0f);
        RandomStream random;
        RayRenderer renderer(&image, random, 2);
        Vec2 centre{0, 0}, x{1, 0}, y{0, 1};
        renderer.render(library[list], centre, x, y, height);
        const std::string name = std::string(sceneName(list)) + ".json";
        for (const NamedText& file : files)
            if (file.name == name) {
                EXPECT_TRUE(renderFrame(*parseScene(file.text, name).document, 0) ==
                            rawImageBytes(image))
                    << name;
            }
    }
    deleteSceneShapes(library);
}

TEST(SceneCommands, SavesTheScenesIntoAFolderItMakes) {
    test::TempDir dir;
    const std::string folder = dir.file("my scenes");
    std::ostringstream out, err;
    EXPECT_EQ(saveBuiltInScenes(folder, out, err), 0);
    EXPECT_EQ(err.str(), "");
    std::string expected;
    for (const NamedText& file : builtInSceneFiles()) {
        EXPECT_EQ(test::readFile(folder + "/" + file.name), file.text) << file.name;
        expected += folder + "/" + file.name + "  " + std::to_string(file.text.size()) + " bytes\n";
    }
    EXPECT_EQ(out.str(), expected);

    // A file where the folder should be: said, and nothing written.
    std::ostringstream out2, err2;
    test::writeFile(dir.file("plain"), "x");
    EXPECT_EQ(saveBuiltInScenes(dir.file("plain"), out2, err2), 1);
    EXPECT_EQ(out2.str(), "");
    EXPECT_NE(err2.str().find("lumek: cannot make the folder " + dir.file("plain")),
              std::string::npos);
    EXPECT_EQ(test::readFile(dir.file("plain")), "x");
}

TEST(SceneCommands, CheckReportsAndWritesNothing) {
    test::TempDir dir;
    const std::string file = dir.file("wave.json");
    test::writeFile(file, R"({"format": "lumek-scene", "version": 1, "title": "Wave",
  "duration": 4, "view": {"centre": [0, 0], "height": 2},
  "shapes": [
    {"type": "disc", "id": "sun", "centre": [0, 0], "radius": 0, "colour": "#ffffff", "falloff": 1},
    {"type": "polygon", "points": [[0, 0], [1, 0], [0, 1]], "colour": "#ff0000", "falloff": 2,
     "keys": [{"time": 5, "colour": "#00ff00"}]}
  ]})");
    std::ostringstream out, err;
    EXPECT_EQ(checkSceneFile(file, out, err), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(),
              file +
                  ": lumek-scene version 1, \"Wave\"\n"
                  "  shapes     2 (1 disc, 0 segments, 1 polyline or polygon): 4 for the "
                  "renderer, of at most " +
                  std::to_string(kMaxSceneShapes) + "\n"
                  "  view       centre (0, 0), height 2, rotation 0 degrees\n"
                  "  size       1024 x 768 (none given: the default)\n"
                  "  animation  4 s at 30 frames a second (the default): 120 frames\n"
                  "  seed       1 (the default)\n"
                  "  problems   shapes[0] (id \"sun\"): a disc of radius 0 is never seen\n"
                  "             a key at 5 s, after the end at 4 s\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"wave.json"});

    std::ostringstream out2, err2;
    test::writeFile(file, "{\"format\": \"lumek-scene\", \"version\": 1, \"view\": 3}");
    EXPECT_EQ(checkSceneFile(file, out2, err2), 1);
    EXPECT_EQ(out2.str(), "");
    EXPECT_EQ(
        err2.str(),
        "lumek: " + file + ":1:49: view: expected the view, {\"centre\": [x, y], \"height\": h}\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"wave.json"});
}

}  // namespace
}  // namespace lumek

namespace lumek {
namespace {

test::ProcessResult runLumek(const std::string& args, const std::string& dir) {
    return test::runCommand(test::lumekCommand() + " " + args, dir);
}

// Names that hold switches are values, not switches: only the command asked
// for runs, and it writes nothing else.
TEST(SceneCommands, ProgramRunsOnlyTheCommandWhateverTheNames) {
    test::TempDir dir;
    const test::ProcessResult saved = runLumek("--save-scenes 'out -shot1 -png -i'", dir.path());
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.err, "");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out -shot1 -png -i"});
    EXPECT_EQ(test::lines(saved.out).size(), 10u);

    const std::string scene = "out -shot1 -png -i/XMas.json";
    const test::ProcessResult checked =
        runLumek("--scene " + test::shellQuote(scene) + " --check", dir.path());
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out.rfind(scene + ": lumek-scene version 1, \"XMas\"\n", 0), 0u)
        << checked.out;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out -shot1 -png -i"});
}

TEST(SceneCommands, ProgramRefusesABadFileInOneLine) {
    test::TempDir dir;
    test::writeFile(
        dir.file("bad.json"),
        "{\"format\": \"lumek-scene\", \"version\": 1,\n\"view\": {\"centre\": [0, "
        "0], \"height\": 1}, \"shapes\": [{\"type\": \"disc\", \"id\": \"sun\", "
        "\"centre\": [0, 0], \"radius\": -1, \"colour\": \"#ffffff\", \"falloff\": 1}]}");
    const test::ProcessResult r = runLumek("--scene bad.json --check", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "lumek: bad.json:2:111: shapes[0].radius (id \"sun\"): expected a radius from 0 "
              "to 100000, found -1\n");
    const test::ProcessResult missing = runLumek("--scene none.json --check", dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "lumek: none.json: no such file\n");
    const test::ProcessResult alone = runLumek("--check", dir.path());
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(alone.err, "lumek: --check reads a scene file: --scene FILE --check\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bad.json"});
}

}  // namespace
}  // namespace lumek
