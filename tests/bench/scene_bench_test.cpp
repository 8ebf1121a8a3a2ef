// The benchmark of a scene file: checked against its own first pass, and
// recorded under the scene's name so that only runs of the same scene are
// compared.
#include "bench/scene_bench.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using Json = nlohmann::json;

SceneDocument lamp(float radius) {
    const std::string text = R"({"format": "lumek-scene", "version": 1,
      "view": {"centre": [0, 0], "height": 2}, "duration": 2, "fps": 10,
      "shapes": [
        {"type": "disc", "centre": [-1, 0], "radius": )" +
                             std::to_string(radius) + R"(, "colour": "#ffc070", "falloff": 1.5,
         "keys": [{"time": 0, "centre": [-1, 0]}, {"time": 2, "centre": [1, 0]}]},
        {"type": "segment", "start": [-0.5, 0.5], "end": [0.5, 0.4], "colour": [40, 60, 200],
         "falloff": 2}]})";
    SceneParse parsed = parseScene(text, "lamp.json");
    EXPECT_TRUE(parsed) << parsed.error.text();
    return *parsed.document;
}

struct SceneBench {
    explicit SceneBench(const test::TempDir& dir)
        : record(dir.file("bench.jsonl")), env(library, slots, random, elapsed, lastTick) {
        env.out = &out;
        env.err = &err;
        env.roundSeconds = 0.05;
        env.threads = 2;
        env.recordPath = record.c_str();
        env.reportPath = nullptr;
        env.utcNow = [] { return std::string("2026-12-08T22:00:00Z"); };
        env.machine.processor = {"Vendor", "Model 1"};
        env.machine.logicalOnline = 2;
        env.machine.logicalUsable = 2;
    }
    int run(const SceneDocument& scene) {
        out.str("");
        err.str("");
        return SceneBenchmarkRun(scene, false, switches::PictureSize{37, 20}, env);
    }

    std::string record;
    SceneLibrary library;
    RenderSlots slots;
    RandomStream random;
    uint32_t elapsed = 0, lastTick = 0;
    std::ostringstream out, err;
    BenchEnvironment env;
};

TEST(SceneBench, TheRecordNamesTheSceneAndComparesOnlyWithTheSameScene) {
    test::TempDir dir;
    SceneBench bench(dir);
    const SceneDocument a = lamp(0.1f), b = lamp(0.2f);
    ASSERT_EQ(bench.run(a), 0) << bench.err.str();
    EXPECT_NE(bench.out.str().find("first pass"), std::string::npos) << bench.out.str();
    EXPECT_EQ(bench.out.str().find("Compared with"), std::string::npos);
    // Another scene is other work: not compared with the first.
    ASSERT_EQ(bench.run(b), 0) << bench.err.str();
    EXPECT_EQ(bench.out.str().find("Compared with"), std::string::npos) << bench.out.str();
    // The first scene again: compared with its own earlier run.
    ASSERT_EQ(bench.run(a), 0) << bench.err.str();
    EXPECT_NE(bench.out.str().find("Compared with the run of 2026-12-08T22:00:00Z"),
              std::string::npos)
        << bench.out.str();

    std::vector<Json> records;
    std::istringstream lines(test::readFile(bench.record));
    for (std::string line; std::getline(lines, line);) records.push_back(Json::parse(line));
    ASSERT_EQ(records.size(), 3u);
    const Json& w = records[0]["workload"];
    EXPECT_EQ(w["scene"]["sha256"], test::sha256Hex(writeScene(a)));
    EXPECT_EQ(w["width"], 37);
    EXPECT_EQ(w["height"], 20);
    EXPECT_EQ(w["frames"], kSceneBenchFrames);
    EXPECT_EQ(records[2]["workload"], w);
    EXPECT_NE(records[1]["workload"]["id"], w["id"]);
    EXPECT_NE(records[1]["workload"]["scene"]["sha256"], w["scene"]["sha256"]);
    EXPECT_EQ(records[0]["check"]["wrongFrames"], 0);
    EXPECT_GT(records[0]["check"]["framesChecked"].get<int>(), 2 * kSceneBenchFrames - 1);
}

// The label a person gives names a scene's run too, as it names the
// built-in benchmark's.
TEST(SceneBench, TheRecordCarriesTheLabel) {
    test::TempDir dir;
    SceneBench bench(dir);
    bench.env.label = "office pc";
    ASSERT_EQ(bench.run(lamp(0.1f)), 0) << bench.err.str();
    std::istringstream lines(test::readFile(bench.record));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(Json::parse(line)["label"], "office pc");
}

// A frame that differs from its first render, on any thread, in any round,
// is reported and the run is not valid.
TEST(SceneBench, AFrameUnlikeItsFirstPassIsWrong) {
    test::TempDir dir;
    SceneBench bench(dir);
    bench.env.tamper = [](FrameImage& image, int thread, uint64_t round, const BenchFrame& f) {
        if (thread == 1 && round == 1 && f.index == 5) image.pixels[0] ^= 1;
    };
    EXPECT_EQ(bench.run(lamp(0.1f)), 2);
    EXPECT_NE(bench.err.str().find("lumek: wrong frame: thread 1, round 1, frame 4 of the round"),
              std::string::npos)
        << bench.err.str();
}

TEST(SceneBench, RoundFramesSpreadOverTheAnimation) {
    const SceneDocument a = lamp(0.1f);  // 20 frames
    EXPECT_EQ(sceneBenchFrame(a, 0), 0);
    EXPECT_EQ(sceneBenchFrame(a, 16), 10);
    EXPECT_EQ(sceneBenchFrame(a, 31), 19);
}

}  // namespace
}  // namespace lumek
