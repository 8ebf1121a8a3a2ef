#include "scenes/scene_picture.h"

namespace lumek {

void renderScenePicture(const SceneDocument& document, double seconds, int64_t frame,
                        AnySizeRenderer& picture, RandomStream& random, PosedScene& posed) {
    poseScene(document, seconds, posed);
    random.setState(sceneFrameState(document.frameSeed(), frame));
    const ScenePose& p = posed.pose;
    picture.render(posed.list(), PictureView{p.viewCentre, p.axisX, p.axisY, p.viewHeight});
}

const uint8_t* ScenePicture::render(const SceneDocument& document, int32_t width,
                                    int32_t height, double seconds, int64_t frame) {
    if (!picture_ || picture_->width() != width || picture_->height() != height) {
        // The old frame goes before the new one is made: never both at once.
        picture_.reset();
        slots_.release();
        picture_ = std::make_unique<AnySizeRenderer>(slots_, width, height, 1.0f, random_,
                                                     threads_);
    }
    renderScenePicture(document, seconds, frame, *picture_, random_, scene_);
    return picture_->pixels();
}

}  // namespace lumek
