// Lumek's renderer from C++: the C interface (lumek.h) with owning handles,
// spans and exceptions that carry the library's message. Header only; it
// adds nothing to what the library exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lumek/lumek.h"

namespace lumek {

// A failure of the library: its status and its one-line message.
class Error : public std::runtime_error {
  public:
    Error(lumek_status status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    lumek_status status() const noexcept { return status_; }

  private:
    lumek_status status_;
};

namespace detail {
inline void check(lumek_status status, const lumek_error& error) {
    if (status == LUMEK_OK) return;
    const std::string message =
        error.message[0] != '\0' ? std::string(error.message) : lumek_status_text(status);
    if (status == LUMEK_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();
    throw Error(status, message);
}
inline void check(lumek_status status) {
    if (status != LUMEK_OK) throw Error(status, lumek_status_text(status));
}
}  // namespace detail

inline std::string_view versionString() { return lumek_version_string(); }
inline uint32_t version() { return lumek_version(); }

using SceneInfo = lumek_scene_info;

// A scene read from JSON text or a file; never changed, so any number of
// threads may render it at once.
class Scene {
  public:
    static Scene fromJson(std::string_view text, const std::string& name = "") {
        lumek_error error{};
        lumek_scene* scene = nullptr;
        detail::check(lumek_scene_from_json(text.data(), text.size(), name.c_str(), &scene, &error),
                      error);
        return Scene(scene);
    }
    static Scene fromFile(const std::string& path) {
        lumek_error error{};
        lumek_scene* scene = nullptr;
        detail::check(lumek_scene_from_file(path.c_str(), &scene, &error), error);
        return Scene(scene);
    }

    SceneInfo info() const {
        SceneInfo info{};
        detail::check(lumek_scene_get_info(handle_.get(), &info));
        return info;
    }
    const lumek_scene* handle() const noexcept { return handle_.get(); }

  private:
    explicit Scene(lumek_scene* scene) : handle_(scene) {}
    struct Release {
        void operator()(lumek_scene* s) const noexcept { lumek_scene_destroy(s); }
    };
    std::unique_ptr<lumek_scene, Release> handle_;
};

enum class Format { Rgb8 = LUMEK_RGB8, Rgba8 = LUMEK_RGBA8 };

// Keeps its threads and frame between pictures; one thread uses it at a
// time. `threads` 0: every usable processor.
class Renderer {
  public:
    explicit Renderer(int32_t threads = 0) {
        lumek_error error{};
        lumek_renderer* renderer = nullptr;
        detail::check(lumek_renderer_create(threads, &renderer, &error), error);
        handle_.reset(renderer);
    }

    int32_t threads() const {
        int32_t n = 0;
        detail::check(lumek_renderer_threads(handle_.get(), &n));
        return n;
    }

    // Renders frame `frame` into `pixels`, rows `stride` bytes apart (0:
    // packed rows).
    void renderFrame(const Scene& scene, int64_t frame, std::span<std::byte> pixels,
                     int32_t width, int32_t height, Format format = Format::Rgb8,
                     size_t stride = 0) {
        const lumek_image image = imageFor(pixels, width, height, format, stride);
        lumek_error error{};
        detail::check(
            lumek_renderer_render_frame(handle_.get(), scene.handle(), frame, &image, &error),
            error);
    }
    // The moment `seconds`, as the command line's --time.
    void renderTime(const Scene& scene, double seconds, std::span<std::byte> pixels,
                    int32_t width, int32_t height, Format format = Format::Rgb8,
                    size_t stride = 0) {
        const lumek_image image = imageFor(pixels, width, height, format, stride);
        lumek_error error{};
        detail::check(
            lumek_renderer_render_time(handle_.get(), scene.handle(), seconds, &image, &error),
            error);
    }
    // Frame `frame` as packed rows in a new buffer.
    std::vector<uint8_t> renderFrame(const Scene& scene, int64_t frame, int32_t width,
                                     int32_t height, Format format = Format::Rgb8) {
        if (width < 1 || height < 1 || width > LUMEK_MAX_EDGE || height > LUMEK_MAX_EDGE)
            throw Error(LUMEK_ERROR_INVALID_ARGUMENT,
                        "the picture's width and height must each be 1 .. 16384");
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) *
                                    static_cast<size_t>(format));
        renderFrame(scene, frame, std::as_writable_bytes(std::span(pixels)), width, height, format);
        return pixels;
    }

  private:
    // The span's size is checked here: the C interface cannot see it.
    static lumek_image imageFor(std::span<std::byte> pixels, int32_t width, int32_t height,
                                Format format, size_t stride) {
        const size_t bytes = static_cast<size_t>(format);
        const size_t row = width > 0 ? static_cast<size_t>(width) * bytes : 0;
        if (stride == 0) stride = row;
        if (width > 0 && height > 0 && stride >= row &&
            (pixels.size() < row || (pixels.size() - row) / stride < static_cast<size_t>(height - 1)))
            throw Error(LUMEK_ERROR_INVALID_ARGUMENT, "the buffer is smaller than the picture");
        return lumek_image{pixels.data(), width, height, stride,
                           static_cast<lumek_format>(format)};
    }
    struct Release {
        void operator()(lumek_renderer* r) const noexcept { lumek_renderer_destroy(r); }
    };
    std::unique_ptr<lumek_renderer, Release> handle_;
};

}  // namespace lumek
