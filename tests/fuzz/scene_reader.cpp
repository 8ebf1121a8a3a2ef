#include "fuzz/scene_reader.h"

#include "scenes/scene_file.h"

namespace lumek::fuzz {

bool sceneReaderHolds(const uint8_t* data, size_t size, std::string& why) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SceneParse read = parseScene(text, "fuzz.json");
    if (!read) {
        const std::string line = read.error.text();
        if (read.error.message.empty() || line.find('\n') != std::string::npos) {
            why = "an error that is not one line: " + line;
            return false;
        }
        if (read.error.line < 0 || read.error.column < 0 ||
            (read.error.line == 0) != (read.error.column == 0)) {
            why = "an error placed nowhere: " + line;
            return false;
        }
        return true;
    }
    const SceneDocument& doc = *read.document;
    const std::string written = writeScene(doc);
    const SceneParse again = parseScene(written, "written.json");
    if (!again) {
        why = "its own writing is refused: " + again.error.text();
        return false;
    }
    if (writeScene(*again.document) != written) {
        why = "writing what was read back gives other text";
        return false;
    }
    PosedScene scene;
    const double end = doc.duration.value_or(1.0);
    for (const double t : {0.0, end * 0.37, end}) {
        poseScene(doc, t, scene);
        if (scene.list().size() != doc.expandedShapeCount()) {
            why = "posed into " + std::to_string(scene.list().size()) + " shapes, counted " +
                  std::to_string(doc.expandedShapeCount());
            return false;
        }
    }
    return true;
}

}  // namespace lumek::fuzz
