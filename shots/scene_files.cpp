#include "shots/scene_files.h"

#include "render/any_size.h"
#include "render/slots.h"
#include "scenes/library.h"
#include "scenes/scene_file.h"
#include "shots/table.h"

namespace lumek {

namespace {

std::string sceneFileText(const ShapeList& shapes, int list, Vec2 centre, float height,
                          uint32_t seed) {
    SceneDocument doc = sceneFromShapes(shapes, centre, height, sceneName(list));
    doc.width = kShotWidth;
    doc.height = kShotHeight;
    doc.seed = seed;
    return writeScene(doc);
}

}  // namespace

std::vector<NamedText> builtInSceneFiles(int threads) {
    // The shapes are given back however this ends (memory may run out).
    struct Library {
        SceneLibrary lists;
        Library() { buildSceneLibrary(lists); }
        ~Library() { deleteSceneShapes(lists); }
    } built;
    SceneLibrary& library = built.lists;
    std::vector<NamedText> files;
    {
        // Each screenshot's seed is the generator's state where its picture
        // starts in the run of all eight (-shot1 ... -shot8), so that the
        // file's first frame is that very picture. The pictures are passed
        // over, not rendered: only their draws matter here.
        RenderSlots slots;
        RandomStream random;
        AnySizeRenderer frames(slots, kShotWidth, kShotHeight, 1.0f, random, threads);
        for (int row = 1; row <= kShotCount; ++row) {
            const ShotRow& shot = shotRow(row);
            const uint32_t seed = random.state();
            poseShot(row, library);
            frames.skip(library[shot.list],
                        PictureView{shot.viewCentre, {1.0f, 0.0f}, {0.0f, 1.0f}, shot.viewHeight});
            files.push_back({std::string(sceneName(shot.list)) + ".json",
                             sceneFileText(library[shot.list], shot.list, shot.viewCentre,
                                           shot.viewHeight, seed)});
        }
        // The show poses neither: its wide view of the four lights, and
        // the default view of the white disc.
        files.push_back({std::string(sceneName(kFarLights)) + ".json",
                         sceneFileText(library[kFarLights], kFarLights, {0.0f, 0.0f}, 4.0f,
                                       kDefaultSceneSeed)});
        files.push_back({std::string(sceneName(kWhiteDisc)) + ".json",
                         sceneFileText(library[kWhiteDisc], kWhiteDisc, {0.0f, 0.0f}, 1.0f,
                                       kDefaultSceneSeed)});
    }
    return files;
}

}  // namespace lumek
