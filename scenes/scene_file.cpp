#include "scenes/scene_file.h"

#include <cmath>

namespace lumek {

int64_t SceneDocument::frameCount() const {
    if (!duration) return 1;
    const double frames = std::nearbyint(*duration * framesPerSecond());
    return frames < 1.0 ? 1 : static_cast<int64_t>(frames);
}

size_t SceneDocument::expandedShapeCount() const {
    size_t count = 0;
    for (const SceneShape& s : shapes) {
        switch (s.type) {
            case SceneShapeType::Disc:
            case SceneShapeType::Segment: count += 1; break;
            case SceneShapeType::Polyline: count += s.points.empty() ? 0 : s.points.size() - 1; break;
            case SceneShapeType::Polygon: count += s.points.size(); break;
        }
    }
    return count;
}

std::string SceneError::text() const {
    std::string t = file;
    if (line > 0) {
        t.append(":").append(std::to_string(line));
        t.append(":").append(std::to_string(column));
    }
    t.append(": ");
    if (!path.empty()) t.append(path).append(": ");
    t.append(message);
    return t;
}

SceneParse parseScene(const std::string&, const std::string& fileName) {
    SceneParse result;
    result.error.file = fileName;
    result.error.message = "scene files are not read yet";
    return result;
}

SceneParse loadScene(const std::string& path) { return parseScene("", path); }

std::string writeScene(const SceneDocument&) { return "{}\n"; }

void poseScene(const SceneDocument&, double, PosedScene& scene) { scene.pose = ScenePose{}; }

double sceneFrameTime(const SceneDocument& document, int64_t frame) {
    return static_cast<double>(frame) / document.framesPerSecond();
}

int64_t sceneFrameAt(const SceneDocument& document, double seconds) {
    if (!document.animated() || !(seconds > 0.0)) return 0;
    return static_cast<int64_t>(std::floor(seconds * document.framesPerSecond() + 1e-9));
}

uint32_t frameMix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

uint32_t sceneFrameState(uint32_t seed, int64_t frame) {
    return seed ^ frameMix(static_cast<uint32_t>(frame));
}

}  // namespace lumek
