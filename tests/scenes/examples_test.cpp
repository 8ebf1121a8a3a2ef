#include <gtest/gtest.h>

#include "render/renderer.h"
#include "scenes/scene_file.h"
#include "shots/shots.h"
#include "support/files.h"
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

struct ExampleFrame {
    const char* file;
    int64_t frame;
    const char* sha256;  // of the raw RGB picture, as pinned when looked at
};

// The example scenes' pictures: the same bytes from every build.
const ExampleFrame kExampleFrames[] = {
    {"lanterns.json", 0, "dbccb44c44d2248be7279fc6dda134662b9c1b7f6be322836eba971c207f6a81"},
    {"crystal.json", 0, "82b1d35214f7b184e103f24ace8135880fbba81e601ba372db1d8131b8a36559"},
    {"orbit.json", 0, "9e25593909260b52b25274aa4f6a9ce1a09504ca372ebe1010f07854c0a00589"},
    {"orbit.json", 45, "156696d7f75ab661f79e332f1d984ccc9b11add2895ef1aaeea11aee4f5e6f59"},
    {"orbit.json", 179, "be05782839fb2d31a183fc35db4ee0611f5ae53fcbccf4b0f5045d8ad5551941"},
};

TEST(ExampleScenes, AreCanonicalAndRenderTheirGoldenFrames) {
    for (const char* name : {"lanterns.json", "crystal.json", "orbit.json"}) {
        const std::string text = test::readFile(examplePath(name));
        const SceneParse read = parseScene(text, name);
        ASSERT_TRUE(read) << read.error.text();
        EXPECT_EQ(writeScene(*read.document), text) << name << " is not in the written form";
    }
    for (const ExampleFrame& f : kExampleFrames) {
        const SceneParse read = loadScene(examplePath(f.file));
        ASSERT_TRUE(read) << read.error.text();
        EXPECT_EQ(frameHash(*read.document, f.frame), f.sha256) << f.file << " frame " << f.frame;
    }
}

}  // namespace
}  // namespace lumek
