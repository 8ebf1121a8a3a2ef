#include "app/scene_commands.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "util/printable.h"
#include "os/files.h"
#include "scenes/library.h"
#include "scenes/scene_file.h"
#include "shots/scene_files.h"
#include "util/switches.h"

namespace lumek {

namespace {

// Numbers as the file writes them: the shortest text that reads back the same.
template <typename Number>
std::string shortest(Number value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What a readable file may still hold by mistake.
std::vector<std::string> problems(const SceneDocument& doc) {
    std::vector<std::string> found;
    size_t keyed = doc.view.keys.empty() ? 0 : 1;
    double lastKey = doc.view.keys.empty() ? 0.0 : doc.view.keys.back().time;
    for (size_t i = 0; i < doc.shapes.size(); ++i) {
        const SceneShape& s = doc.shapes[i];
        const std::string name = "shapes[" + std::to_string(i) + "]" +
                                 (s.id.empty() ? "" : " (id \"" + printable(s.id) + "\")");
        if (s.type == SceneShapeType::Disc && s.radius == 0.0f && s.keys.empty())
            found.push_back(name + ": a disc of radius 0 is never seen");
        if (s.type == SceneShapeType::Segment && s.start == s.end && s.keys.empty())
            found.push_back(name + ": a segment whose ends are the same point is never seen");
        if (!s.keys.empty()) {
            ++keyed;
            lastKey = std::max(lastKey, s.keys.back().time);
        }
    }
    if (keyed != 0 && !doc.duration)
        found.push_back("keys but no \"duration\": a video of it is one frame");
    if (doc.duration && lastKey > *doc.duration)
        found.push_back("a key at " + shortest(lastKey) + " s, after the end at " +
                        shortest(*doc.duration) + " s");
    if (doc.fps && !doc.duration) found.push_back("\"fps\" without a \"duration\" changes nothing");
    return found;
}

}  // namespace

int saveBuiltInScenes(const std::string& dir, std::ostream& out, std::ostream& err, int threads) {
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    if (made || !std::filesystem::is_directory(dir)) {
        err << "lumek: cannot make the folder " << dir << ": "
            << (made ? made.message() : "a file of that name is in the way") << "\n";
        return 1;
    }
    int status = 0;
    for (const NamedText& file : builtInSceneFiles(threads)) {
        const std::string path = (std::filesystem::path(dir) / file.name).string();
        std::string error;
        if (os::replaceFile(path, file.text, error)) {
            out << path << "  " << file.text.size() << " bytes\n";
        } else {
            err << "lumek: cannot write " << path << ": " << error << "\n";
            status = 1;
        }
    }
    return status;
}

int checkSceneFile(const std::string& file, std::ostream& out, std::ostream& err) {
    const SceneParse read = loadScene(file);
    if (!read) {
        err << "lumek: " << read.error.text() << "\n";
        return 1;
    }
    const SceneDocument& doc = *read.document;
    size_t discs = 0, segments = 0, outlines = 0;
    for (const SceneShape& s : doc.shapes) {
        discs += s.type == SceneShapeType::Disc;
        segments += s.type == SceneShapeType::Segment;
        outlines += s.type == SceneShapeType::Polyline || s.type == SceneShapeType::Polygon;
    }
    out << file << ": lumek-scene version " << kSceneFormatVersion;
    if (!doc.title.empty()) out << ", \"" << printable(doc.title) << "\"";
    out << "\n";
    out << "  shapes     " << doc.shapes.size() << " (" << plural(discs, "disc", "discs") << ", "
        << plural(segments, "segment", "segments") << ", "
        << plural(outlines, "polyline or polygon", "polylines and polygons")
        << "): " << doc.expandedShapeCount() << " for the renderer, of at most " << kMaxSceneShapes
        << "\n";
    const SceneView& v = doc.view;
    out << "  view       centre (" << shortest(v.centre.x) << ", " << shortest(v.centre.y)
        << "), height " << shortest(v.height) << ", rotation " << shortest(v.rotation) << " degrees"
        << (v.keys.empty() ? "" : ", " + plural(v.keys.size(), "key", "keys")) << "\n";
    out << "  size       " << doc.pictureWidth() << " x " << doc.pictureHeight()
        << (doc.width ? "" : " (none given: the default)") << "\n";
    if (doc.animated())
        out << "  animation  " << shortest(*doc.duration) << " s at " << doc.framesPerSecond()
            << " frames a second" << (doc.fps ? "" : " (the default)") << ": " << doc.frameCount()
            << " frames\n";
    else
        out << "  animation  none: a still scene\n";
    out << "  seed       " << doc.frameSeed() << (doc.seed ? "" : " (the default)") << "\n";
    const std::vector<std::string> found = problems(doc);
    if (found.empty()) out << "  problems   none\n";
    for (size_t i = 0; i < found.size(); ++i)
        out << (i == 0 ? "  problems   " : "             ") << found[i] << "\n";
    return 0;
}

std::optional<int> runSceneCommands(const CommandLine& line, int processors) {
    if (line.options.saveScenes)
        return saveBuiltInScenes(*line.options.saveScenes, std::cout, std::cerr, processors);
    if (!switches::asks(line.text.c_str(), switches::kCheck)) return std::nullopt;
    if (!line.options.scene) {
        std::cerr << "lumek: --check reads a scene file: --scene FILE --check\n";
        return 1;
    }
    return checkSceneFile(*line.options.scene, std::cout, std::cerr);
}

}  // namespace lumek
