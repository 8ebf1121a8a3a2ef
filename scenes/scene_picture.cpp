#include "scenes/scene_picture.h"

namespace lumek {

const uint8_t* ScenePicture::render(const SceneDocument& document, int32_t width,
                                    int32_t height, double seconds, int64_t frame) {
    if (!picture_ || picture_->width() != width || picture_->height() != height) {
        // The old frame goes before the new one is made: never both at once.
        picture_.reset();
        slots_.release();
        picture_ = std::make_unique<AnySizeRenderer>(slots_, width, height, 1.0f, random_,
                                                     threads_);
    }
    poseScene(document, seconds, scene_);
    random_.setState(sceneFrameState(document.frameSeed(), frame));
    const ScenePose& p = scene_.pose;
    picture_->render(scene_.list(), PictureView{p.viewCentre, p.axisX, p.axisY, p.viewHeight});
    return picture_->pixels();
}

}  // namespace lumek
