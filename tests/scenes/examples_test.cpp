#include <gtest/gtest.h>

#include "render/renderer.h"
#include "scenes/scene_file.h"
#include "shots/shots.h"
#include "support/files.h"
#include "support/golden.h"
#include "support/sha256.h"

namespace lumek {
namespace {

std::string examplePath(const std::string& name) { return LUMEK_EXAMPLES_DIR "/" + name; }

// A frame at the file's size, as every mode renders it: posed at the
// frame's time, its jitter from the frame's own generator state.
std::string frameHash(const SceneDocument& doc, int64_t frame) {
    FrameImage image(doc.pictureWidth(), doc.pictureHeight(), 1.0f);
    RandomStream random;
    random.setState(sceneFrameState(doc.frameSeed(), frame));
    RayRenderer renderer(&image, random, 2);
    PosedScene scene;
    poseScene(doc, sceneFrameTime(doc, frame), scene);
    ScenePose p = scene.pose;
    renderer.render(scene.list(), p.viewCentre, p.axisX, p.axisY, p.viewHeight);
    return test::sha256Hex(rawImageBytes(image));
}

TEST(ExampleScenes, AreCanonicalAndRenderTheirGoldenFrames) {
    for (const char* name : {"lanterns.json", "crystal.json", "orbit.json"}) {
        const std::string text = test::readFile(examplePath(name));
        const SceneParse read = parseScene(text, name);
        ASSERT_TRUE(read) << read.error.text();
        EXPECT_EQ(writeScene(*read.document), text) << name << " is not in the written form";
    }
    for (const test::ExampleFrame& f : test::kExampleFrames) {
        const SceneParse read = loadScene(examplePath(f.file));
        ASSERT_TRUE(read) << read.error.text();
        EXPECT_EQ(frameHash(*read.document, f.frame), f.sha256) << f.file << " frame " << f.frame;
    }
}

}  // namespace
}  // namespace lumek
