// The C interface: checks every argument, turns every exception into a
// status, and renders through the same scene picture as the command line.
#include "lumek/lumek.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "os/files.h"
#include "os/system.h"
#include "scenes/scene_file.h"
#include "scenes/scene_picture.h"

#ifdef LUMEK_PROJECT_VERSION
static_assert(std::string_view(LUMEK_VERSION_STRING) == LUMEK_PROJECT_VERSION,
              "lumek.h's version macros follow the project's version");
#endif

struct lumek_scene {
    lumek::SceneDocument document;
};

struct lumek_renderer {
    explicit lumek_renderer(int threads) : picture(threads) {}
    lumek::ScenePicture picture;
};

namespace {

// More workers than this is a mistake in the caller, not a machine.
constexpr int32_t kMostThreads = 1024;

lumek_status fail(lumek_error* error, lumek_status status, const std::string& message) {
    if (error != nullptr) {
        error->status = status;
        const size_t n = std::min(message.size(), sizeof error->message - 1);
        std::memcpy(error->message, message.data(), n);
        error->message[n] = '\0';
    }
    return status;
}

lumek_status succeed(lumek_error* error) {
    if (error != nullptr) {
        error->status = LUMEK_OK;
        error->message[0] = '\0';
    }
    return LUMEK_OK;
}

// Runs `body`, turning what it throws into a status.
template <typename Body>
lumek_status guarded(lumek_error* error, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return fail(error, LUMEK_ERROR_OUT_OF_MEMORY, "not enough memory");
    } catch (const std::exception& e) {
        return fail(error, LUMEK_ERROR_INTERNAL, e.what());
    } catch (...) {
        return fail(error, LUMEK_ERROR_INTERNAL, "an unknown failure inside the library");
    }
}

lumek_status sceneFrom(const std::string& text, const std::string& name, lumek_scene** scene,
                       lumek_error* error) {
    lumek::SceneParse read = lumek::parseScene(text, name);
    if (!read) return fail(error, LUMEK_ERROR_BAD_SCENE, read.error.text());
    *scene = new lumek_scene{std::move(*read.document)};
    return succeed(error);
}

// Why `image` cannot take a picture, or empty.
const char* imageFault(const lumek_image* image) {
    if (image->pixels == nullptr) return "the image has no pixels";
    if (image->width < lumek::kMinPictureEdge || image->width > lumek::kMaxPictureEdge ||
        image->height < lumek::kMinPictureEdge || image->height > lumek::kMaxPictureEdge)
        return "the picture's width and height must each be 1 .. 16384";
    if (image->format != LUMEK_RGB8 && image->format != LUMEK_RGBA8)
        return "the image's format must be LUMEK_RGB8 or LUMEK_RGBA8";
    const size_t row = static_cast<size_t>(image->width) * static_cast<size_t>(image->format);
    if (image->stride < row) return "the image's stride is shorter than a row";
    // The last row's end must be an address the buffer can have.
    if (image->stride > (std::numeric_limits<size_t>::max() - row) /
                            static_cast<size_t>(image->height))
        return "the image's stride and height reach beyond any address";
    return nullptr;
}

void copyPicture(const uint8_t* rgba, const lumek_image& image) {
    const size_t width = static_cast<size_t>(image.width);
    auto* out = static_cast<uint8_t*>(image.pixels);
    for (int32_t y = 0; y < image.height; ++y, out += image.stride) {
        const uint8_t* in = rgba + static_cast<size_t>(y) * width * 4;
        if (image.format == LUMEK_RGBA8) {
            for (size_t x = 0; x < width; ++x) {
                out[x * 4 + 0] = in[x * 4 + 0];
                out[x * 4 + 1] = in[x * 4 + 1];
                out[x * 4 + 2] = in[x * 4 + 2];
                out[x * 4 + 3] = 255;
            }
        } else {
            for (size_t x = 0; x < width; ++x) {
                out[x * 3 + 0] = in[x * 4 + 0];
                out[x * 3 + 1] = in[x * 4 + 1];
                out[x * 3 + 2] = in[x * 4 + 2];
            }
        }
    }
}

enum class Moment { Frame, Time };

lumek_status renderMoment(lumek_renderer* renderer, const lumek_scene* scene, Moment moment,
                          int64_t frame, double seconds, const lumek_image* image,
                          lumek_error* error) {
    if (renderer == nullptr || scene == nullptr || image == nullptr)
        return fail(error, LUMEK_ERROR_NULL_ARGUMENT, "the renderer, scene and image must be given");
    if (const char* fault = imageFault(image))
        return fail(error, LUMEK_ERROR_INVALID_ARGUMENT, fault);
    const lumek::SceneDocument& doc = scene->document;
    if (moment == Moment::Frame && (frame < 0 || frame >= doc.frameCount()))
        return fail(error, LUMEK_ERROR_INVALID_ARGUMENT,
                    "frame " + std::to_string(frame) + " is not in the scene's 0 .. " +
                        std::to_string(doc.frameCount() - 1));
    // Written so that NaN is refused too.
    if (moment == Moment::Time && !(seconds >= 0.0 && seconds <= lumek::kMaxSceneSeconds))
        return fail(error, LUMEK_ERROR_INVALID_ARGUMENT, "the time must be 0 .. 86400 seconds");
    return guarded(error, [&] {
        const uint8_t* rgba =
            moment == Moment::Frame
                ? renderer->picture.renderFrame(doc, image->width, image->height, frame)
                : renderer->picture.renderTime(doc, image->width, image->height, seconds);
        copyPicture(rgba, *image);
        return succeed(error);
    });
}

int32_t workersFor(int32_t threads) {
    return threads == 0 ? static_cast<int32_t>(lumek::os::usableProcessors()) : threads;
}

}  // namespace

extern "C" {

uint32_t lumek_version(void) { return LUMEK_VERSION_NUMBER; }

const char* lumek_version_string(void) { return LUMEK_VERSION_STRING; }

const char* lumek_status_text(lumek_status status) {
    // As a number: a caller may hand in any value, and one that names no
    // status is no enumerator to load.
    int number;
    std::memcpy(&number, &status, sizeof number);
    switch (number) {
        case LUMEK_OK: return "success";
        case LUMEK_ERROR_NULL_ARGUMENT: return "a required pointer was null";
        case LUMEK_ERROR_INVALID_ARGUMENT: return "an argument is out of range";
        case LUMEK_ERROR_BAD_SCENE: return "not a scene";
        case LUMEK_ERROR_FILE: return "the file could not be read";
        case LUMEK_ERROR_OUT_OF_MEMORY: return "not enough memory";
        case LUMEK_ERROR_INTERNAL: return "a fault inside the library";
    }
    return "an unknown status";
}

lumek_status lumek_scene_from_json(const char* text, size_t size, const char* name,
                                   lumek_scene** scene, lumek_error* error) {
    if (scene != nullptr) *scene = nullptr;
    if (text == nullptr || scene == nullptr)
        return fail(error, LUMEK_ERROR_NULL_ARGUMENT, "the text and the scene's place must be given");
    if (size > lumek::kMaxSceneFileBytes)
        return fail(error, LUMEK_ERROR_INVALID_ARGUMENT,
                    "the text is larger than " + std::to_string(lumek::kMaxSceneFileBytes >> 20) +
                        " MiB");
    return guarded(error, [&] {
        return sceneFrom(std::string(text, size), name != nullptr ? name : "", scene, error);
    });
}

lumek_status lumek_scene_from_file(const char* path, lumek_scene** scene, lumek_error* error) {
    if (scene != nullptr) *scene = nullptr;
    if (path == nullptr || scene == nullptr)
        return fail(error, LUMEK_ERROR_NULL_ARGUMENT, "the path and the scene's place must be given");
    return guarded(error, [&] {
        std::string text, why;
        if (lumek::os::readRegularFile(path, lumek::kMaxSceneFileBytes, text, why) !=
            lumek::os::ReadResult::Read) {
            lumek::SceneError e;
            e.file = path;
            e.message = why;
            return fail(error, LUMEK_ERROR_FILE, e.text());
        }
        return sceneFrom(text, path, scene, error);
    });
}

void lumek_scene_destroy(lumek_scene* scene) { delete scene; }

lumek_status lumek_scene_get_info(const lumek_scene* scene, lumek_scene_info* info) {
    if (scene == nullptr || info == nullptr) return LUMEK_ERROR_NULL_ARGUMENT;
    const lumek::SceneDocument& d = scene->document;
    *info = lumek_scene_info{};
    info->width = d.pictureWidth();
    info->height = d.pictureHeight();
    info->duration = d.duration.value_or(0.0);
    info->fps = d.framesPerSecond();
    info->frame_count = d.frameCount();
    info->shape_count = d.shapes.size();
    info->segment_count = d.expandedShapeCount();
    info->seed = d.frameSeed();
    info->animated = d.animated() ? 1 : 0;
    return LUMEK_OK;
}

lumek_status lumek_renderer_create(int32_t threads, lumek_renderer** renderer,
                                   lumek_error* error) {
    if (renderer != nullptr) *renderer = nullptr;
    if (renderer == nullptr)
        return fail(error, LUMEK_ERROR_NULL_ARGUMENT, "the renderer's place must be given");
    if (threads < 0 || threads > kMostThreads)
        return fail(error, LUMEK_ERROR_INVALID_ARGUMENT, "threads must be 0 (all) .. 1024");
    return guarded(error, [&] {
        *renderer = new lumek_renderer(workersFor(threads));
        return succeed(error);
    });
}

void lumek_renderer_destroy(lumek_renderer* renderer) { delete renderer; }

lumek_status lumek_renderer_threads(const lumek_renderer* renderer, int32_t* threads) {
    if (renderer == nullptr || threads == nullptr) return LUMEK_ERROR_NULL_ARGUMENT;
    *threads = renderer->picture.threads();
    return LUMEK_OK;
}

lumek_status lumek_renderer_render_frame(lumek_renderer* renderer, const lumek_scene* scene,
                                         int64_t frame, const lumek_image* image,
                                         lumek_error* error) {
    return renderMoment(renderer, scene, Moment::Frame, frame, 0.0, image, error);
}

lumek_status lumek_renderer_render_time(lumek_renderer* renderer, const lumek_scene* scene,
                                        double seconds, const lumek_image* image,
                                        lumek_error* error) {
    return renderMoment(renderer, scene, Moment::Time, 0, seconds, image, error);
}

lumek_status lumek_render_frame(const lumek_scene* scene, int64_t frame, int32_t threads,
                                const lumek_image* image, lumek_error* error) {
    lumek_renderer* renderer = nullptr;
    const lumek_status made = lumek_renderer_create(threads, &renderer, error);
    if (made != LUMEK_OK) return made;
    const lumek_status status = lumek_renderer_render_frame(renderer, scene, frame, image, error);
    lumek_renderer_destroy(renderer);
    return status;
}

}  // extern "C"
