#include "lumek/lumek.h"
#include "lumek/lumek.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "app/scene_commands.h"
#include "support/files.h"
#include "support/golden.h"
#include "support/sha256.h"

namespace {

// A small animated scene: a moving light, a wall, a polygon that turns.
const char* const kAnimated = R"({
  "format": "lumek-scene", "version": 1, "size": [96, 64], "seed": 77,
  "duration": 1, "fps": 10,
  "view": {"centre": [0, 0], "height": 2},
  "shapes": [
    {"type": "disc", "centre": [-0.5, 0], "radius": 0.15, "colour": "#ffe0a0", "falloff": 1,
     "keys": [{"time": 0, "centre": [-0.5, 0]}, {"time": 1, "centre": [0.5, 0.2]}]},
    {"type": "segment", "start": [-0.2, -0.6], "end": [0.1, 0.6], "colour": "#000000", "falloff": 0},
    {"type": "polygon", "points": [[0.4, -0.3], [0.7, -0.3], [0.55, -0.1]], "colour": "#2040ff", "falloff": 2}
  ]
})";

struct SceneHandle {
    lumek_scene* scene = nullptr;
    ~SceneHandle() { lumek_scene_destroy(scene); }
};

lumek_scene* sceneFromText(const std::string& text) {
    lumek_scene* scene = nullptr;
    lumek_error error{};
    EXPECT_EQ(lumek_scene_from_json(text.data(), text.size(), "t.json", &scene, &error), LUMEK_OK)
        << error.message;
    return scene;
}

std::vector<uint8_t> renderRgb(const lumek_scene* scene, int32_t w, int32_t h, int64_t frame,
                               int32_t threads) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    lumek_image image{rgb.data(), w, h, static_cast<size_t>(w) * 3, LUMEK_RGB8};
    lumek_error error{};
    EXPECT_EQ(lumek_render_frame(scene, frame, threads, &image, &error), LUMEK_OK) << error.message;
    return rgb;
}

std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// The built-in screenshot scenes as files render their golden pictures
// through the library, in both layouts and with rows apart, on one thread
// and on several.
TEST(CApi, BuiltInScenesRenderTheirGoldenPictures) {
    const std::vector<lumek::NamedText> files = lumek::builtInSceneFiles(2);
    int checked = 0;
    for (const lumek::NamedText& file : files) {
        const char* golden = nullptr;
        for (const auto& [name, hash] : lumek::test::kGoldenShots)
            if (file.name == std::string(name) + ".json") golden = hash;
        if (golden == nullptr || checked == 2) continue;
        SceneHandle s{sceneFromText(file.text)};
        ASSERT_NE(s.scene, nullptr);
        lumek_scene_info info{};
        ASSERT_EQ(lumek_scene_get_info(s.scene, &info), LUMEK_OK);
        ASSERT_EQ(info.width, 1024);
        ASSERT_EQ(info.height, 768);
        EXPECT_EQ(lumek::test::sha256Hex(bytesOf(renderRgb(s.scene, 1024, 768, 0, checked + 1))),
                  golden)
            << file.name;

        // RGBA with 5 bytes between rows: the same colours, alpha 255, the
        // gap untouched.
        const size_t stride = 1024 * 4 + 5;
        std::vector<uint8_t> rgba(stride * 768, 0xab);
        lumek_image image{rgba.data(), 1024, 768, stride, LUMEK_RGBA8};
        lumek_renderer* renderer = nullptr;
        ASSERT_EQ(lumek_renderer_create(3, &renderer, nullptr), LUMEK_OK);
        ASSERT_EQ(lumek_renderer_render_time(renderer, s.scene, 0.0, &image, nullptr), LUMEK_OK);
        lumek_renderer_destroy(renderer);
        std::string rgb;
        bool alpha = true, gap = true;
        for (size_t y = 0; y < 768; ++y) {
            for (size_t x = 0; x < 1024; ++x) {
                rgb.append(reinterpret_cast<const char*>(&rgba[y * stride + x * 4]), 3);
                alpha = alpha && rgba[y * stride + x * 4 + 3] == 255;
            }
            for (size_t g = 1024 * 4; g < stride; ++g) gap = gap && rgba[y * stride + g] == 0xab;
        }
        EXPECT_EQ(lumek::test::sha256Hex(rgb), golden) << file.name;
        EXPECT_TRUE(alpha);
        EXPECT_TRUE(gap);
        ++checked;
    }
    EXPECT_EQ(checked, 2);
}

// Frames are independent of the order they are rendered in and of the
// renderer's history (its size changed in between); a time gives its
// frame's picture; different frames differ.
TEST(CApi, FramesDependOnTheSceneSizeAndNumberAlone) {
    SceneHandle s{sceneFromText(kAnimated)};
    ASSERT_NE(s.scene, nullptr);
    lumek_scene_info info{};
    ASSERT_EQ(lumek_scene_get_info(s.scene, &info), LUMEK_OK);
    EXPECT_EQ(info.frame_count, 10);
    EXPECT_EQ(info.fps, 10);
    EXPECT_EQ(info.shape_count, 3u);
    EXPECT_EQ(info.segment_count, 5u);
    EXPECT_EQ(info.animated, 1);

    const std::vector<uint8_t> alone7 = renderRgb(s.scene, 50, 37, 7, 1);
    const std::vector<uint8_t> alone2 = renderRgb(s.scene, 50, 37, 2, 2);
    EXPECT_NE(alone7, alone2);

    lumek_renderer* renderer = nullptr;
    ASSERT_EQ(lumek_renderer_create(2, &renderer, nullptr), LUMEK_OK);
    std::vector<uint8_t> out(50 * 37 * 3), big(96 * 64 * 3);
    lumek_image small{out.data(), 50, 37, 150, LUMEK_RGB8};
    lumek_image large{big.data(), 96, 64, 96 * 3, LUMEK_RGB8};
    ASSERT_EQ(lumek_renderer_render_frame(renderer, s.scene, 2, &small, nullptr), LUMEK_OK);
    EXPECT_EQ(out, alone2);
    ASSERT_EQ(lumek_renderer_render_frame(renderer, s.scene, 4, &large, nullptr), LUMEK_OK);
    ASSERT_EQ(lumek_renderer_render_frame(renderer, s.scene, 7, &small, nullptr), LUMEK_OK);
    EXPECT_EQ(out, alone7);
    ASSERT_EQ(lumek_renderer_render_time(renderer, s.scene, 0.7, &small, nullptr), LUMEK_OK);
    EXPECT_EQ(out, alone7);
    lumek_renderer_destroy(renderer);
}

// Two renderers on two threads render one scene at once, each its own frame.
TEST(CApi, RenderersOnTwoThreadsShareAScene) {
    SceneHandle s{sceneFromText(kAnimated)};
    ASSERT_NE(s.scene, nullptr);
    const std::vector<uint8_t> want3 = renderRgb(s.scene, 96, 64, 3, 1);
    const std::vector<uint8_t> want8 = renderRgb(s.scene, 96, 64, 8, 1);
    std::vector<uint8_t> got3, got8;
    std::thread a([&] {
        for (int i = 0; i < 3; ++i) got3 = renderRgb(s.scene, 96, 64, 3, 2);
    });
    std::thread b([&] {
        for (int i = 0; i < 3; ++i) got8 = renderRgb(s.scene, 96, 64, 8, 2);
    });
    a.join();
    b.join();
    EXPECT_EQ(got3, want3);
    EXPECT_EQ(got8, want8);
}

// A scene that is refused says what and where; a file that cannot be read
// says why; nothing is made either way.
TEST(CApi, RefusedScenesSayWhatAndWhere) {
    const std::string bad = std::string(kAnimated).replace(std::string(kAnimated).find("0.15"), 4,
                                                           "\"big\"");
    lumek_scene* scene = reinterpret_cast<lumek_scene*>(&scene);
    lumek_error error{};
    EXPECT_EQ(lumek_scene_from_json(bad.data(), bad.size(), "mine.json", &scene, &error),
              LUMEK_ERROR_BAD_SCENE);
    EXPECT_EQ(scene, nullptr);
    EXPECT_EQ(error.status, LUMEK_ERROR_BAD_SCENE);
    const std::string message = error.message;
    EXPECT_EQ(message.rfind("mine.json:6:", 0), 0u) << message;
    EXPECT_NE(message.find("shapes[0].radius"), std::string::npos) << message;

    const std::string cut = "{\"format\": \"lumek-scene\", ";
    EXPECT_EQ(lumek_scene_from_json(cut.data(), cut.size(), nullptr, &scene, &error),
              LUMEK_ERROR_BAD_SCENE);
    EXPECT_NE(std::string(error.message), "");

    lumek::test::TempDir dir;
    EXPECT_EQ(lumek_scene_from_file(dir.file("none.json").c_str(), &scene, &error),
              LUMEK_ERROR_FILE);
    EXPECT_EQ(std::string(error.message).rfind(dir.file("none.json") + ": ", 0), 0u)
        << error.message;
    EXPECT_EQ(lumek_scene_from_file(dir.path().c_str(), &scene, &error), LUMEK_ERROR_FILE);
    EXPECT_EQ(scene, nullptr);

    // A message longer than the buffer is cut, still terminated.
    const std::string longName(3000, 'n');
    EXPECT_EQ(lumek_scene_from_json(bad.data(), bad.size(), longName.c_str(), &scene, &error),
              LUMEK_ERROR_BAD_SCENE);
    EXPECT_EQ(std::strlen(error.message), sizeof error.message - 1);
}

// Every bad argument is a status; nothing is written for it.
TEST(CApi, BadArgumentsAreStatuses) {
    SceneHandle s{sceneFromText(kAnimated)};
    ASSERT_NE(s.scene, nullptr);
    lumek_scene* scene = nullptr;
    lumek_error error{};
    EXPECT_EQ(lumek_scene_from_json(nullptr, 0, "x", &scene, &error), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_from_json("{}", 2, "x", nullptr, &error), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_from_json("{}", 2, "x", nullptr, nullptr), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_from_json("{}", std::numeric_limits<size_t>::max(), "x", &scene, &error),
              LUMEK_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(lumek_scene_from_file(nullptr, &scene, &error), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_from_file("x.json", nullptr, &error), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_get_info(nullptr, nullptr), LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_scene_get_info(s.scene, nullptr), LUMEK_ERROR_NULL_ARGUMENT);
    lumek_scene_destroy(nullptr);
    lumek_renderer_destroy(nullptr);

    lumek_renderer* renderer = nullptr;
    EXPECT_EQ(lumek_renderer_create(-1, &renderer, &error), LUMEK_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(lumek_renderer_create(1 << 20, &renderer, &error), LUMEK_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(renderer, nullptr);
    EXPECT_EQ(lumek_renderer_create(1, nullptr, &error), LUMEK_ERROR_NULL_ARGUMENT);
    ASSERT_EQ(lumek_renderer_create(0, &renderer, &error), LUMEK_OK);
    int32_t threads = 0;
    EXPECT_EQ(lumek_renderer_threads(renderer, &threads), LUMEK_OK);
    EXPECT_GE(threads, 1);
    EXPECT_EQ(lumek_renderer_threads(renderer, nullptr), LUMEK_ERROR_NULL_ARGUMENT);

    std::vector<uint8_t> buffer(64 * 64 * 4, 0x5a);
    const lumek_image good{buffer.data(), 16, 16, 16 * 3, LUMEK_RGB8};
    EXPECT_EQ(lumek_renderer_render_frame(nullptr, s.scene, 0, &good, &error),
              LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_renderer_render_frame(renderer, nullptr, 0, &good, &error),
              LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_renderer_render_frame(renderer, s.scene, 0, nullptr, &error),
              LUMEK_ERROR_NULL_ARGUMENT);
    EXPECT_EQ(lumek_render_frame(nullptr, 0, 1, &good, &error), LUMEK_ERROR_NULL_ARGUMENT);

    struct Case {
        const char* what;
        lumek_image image;
        int64_t frame;
        lumek_status status;
    };
    const size_t huge = std::numeric_limits<size_t>::max() / 2;
    const Case cases[] = {
        {"no pixels", {nullptr, 16, 16, 48, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"zero width", {buffer.data(), 0, 16, 48, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"zero height", {buffer.data(), 16, 0, 48, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"negative width", {buffer.data(), -16, 16, 48, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"huge width", {buffer.data(), 16385, 1, huge, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"huge height", {buffer.data(), 1, 1 << 30, 3, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"stride too small", {buffer.data(), 16, 16, 47, LUMEK_RGB8}, 0, LUMEK_ERROR_INVALID_ARGUMENT},
        {"RGBA stride too small", {buffer.data(), 16, 16, 48, LUMEK_RGBA8}, 0,
         LUMEK_ERROR_INVALID_ARGUMENT},
        {"stride past any address", {buffer.data(), 16, 16, huge, LUMEK_RGB8}, 0,
         LUMEK_ERROR_INVALID_ARGUMENT},
        {"no such format", {buffer.data(), 16, 16, 64, static_cast<lumek_format>(2)}, 0,
         LUMEK_ERROR_INVALID_ARGUMENT},
        {"frame before the first", good, -1, LUMEK_ERROR_INVALID_ARGUMENT},
        {"frame after the last", good, 10, LUMEK_ERROR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        error = lumek_error{};
        EXPECT_EQ(lumek_renderer_render_frame(renderer, s.scene, c.frame, &c.image, &error), c.status)
            << c.what;
        EXPECT_EQ(error.status, c.status) << c.what;
        EXPECT_NE(std::string(error.message), "") << c.what;
        EXPECT_EQ(lumek_render_frame(s.scene, c.frame, 1, &c.image, nullptr), c.status) << c.what;
    }
    for (double t : {-0.5, 86400.5, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()})
        EXPECT_EQ(lumek_renderer_render_time(renderer, s.scene, t, &good, &error),
                  LUMEK_ERROR_INVALID_ARGUMENT)
            << t;
    EXPECT_EQ(buffer, std::vector<uint8_t>(64 * 64 * 4, 0x5a));  // nothing written

    // The renderer still works after all of that.
    EXPECT_EQ(lumek_renderer_render_frame(renderer, s.scene, 9, &good, &error), LUMEK_OK);
    lumek_renderer_destroy(renderer);

    EXPECT_STREQ(lumek_status_text(static_cast<lumek_status>(99)), "an unknown status");
    EXPECT_EQ(lumek_version(), static_cast<uint32_t>(LUMEK_VERSION_NUMBER));
    EXPECT_EQ(std::string(lumek_version_string()), LUMEK_VERSION_STRING);
    EXPECT_EQ(std::string(LUMEK_VERSION_STRING), std::string(LUMEK_PROJECT_VERSION));
}

// The C++ header: the C interface's pictures, its messages in exceptions,
// and buffers checked against the picture before anything is written.
TEST(CppApi, RendersAndThrowsTheLibrarysMessages) {
    const lumek::Scene scene = lumek::Scene::fromJson(kAnimated, "a.json");
    EXPECT_EQ(scene.info().frame_count, 10);
    lumek::Renderer renderer(2);
    EXPECT_EQ(renderer.threads(), 2);
    const std::vector<uint8_t> rgb = renderer.renderFrame(scene, 4, 50, 37);
    EXPECT_EQ(rgb, renderRgb(scene.handle(), 50, 37, 4, 1));

    std::vector<std::byte> rgba(50 * 4 * 37);
    renderer.renderFrame(scene, 4, rgba, 50, 37, lumek::Format::Rgba8);
    for (size_t i = 0; i < rgb.size() / 3; ++i)
        ASSERT_EQ(static_cast<uint8_t>(rgba[i * 4 + 1]), rgb[i * 3 + 1]) << i;

    std::vector<std::byte> shortBuffer(50 * 3 * 37 - 1, std::byte{7});
    try {
        renderer.renderFrame(scene, 4, shortBuffer, 50, 37);
        ADD_FAILURE() << "a short buffer was taken";
    } catch (const lumek::Error& e) {
        EXPECT_EQ(e.status(), LUMEK_ERROR_INVALID_ARGUMENT);
        EXPECT_NE(std::string(e.what()).find("smaller than the picture"), std::string::npos);
    }
    EXPECT_EQ(shortBuffer, std::vector<std::byte>(50 * 3 * 37 - 1, std::byte{7}));
    // Rows apart: the last row needs only its own bytes.
    std::vector<std::byte> spaced(200 * 36 + 150);
    renderer.renderFrame(scene, 4, spaced, 50, 37, lumek::Format::Rgb8, 200);
    EXPECT_THROW(renderer.renderFrame(scene, 4, spaced, 50, 38, lumek::Format::Rgb8, 200),
                 lumek::Error);

    try {
        renderer.renderFrame(scene, 10, 50, 37);
        ADD_FAILURE() << "frame 10 of 10 was rendered";
    } catch (const lumek::Error& e) {
        EXPECT_EQ(e.status(), LUMEK_ERROR_INVALID_ARGUMENT);
        EXPECT_NE(std::string(e.what()).find("frame 10"), std::string::npos) << e.what();
    }
    try {
        lumek::Scene::fromJson("{\"format\": 5}", "b.json");
        ADD_FAILURE() << "a bad scene was read";
    } catch (const lumek::Error& e) {
        EXPECT_EQ(e.status(), LUMEK_ERROR_BAD_SCENE);
        EXPECT_EQ(std::string(e.what()).rfind("b.json:1:", 0), 0u) << e.what();
    }
    EXPECT_THROW(lumek::Renderer(-3), lumek::Error);
    EXPECT_EQ(lumek::versionString(), LUMEK_VERSION_STRING);
}

}  // namespace
