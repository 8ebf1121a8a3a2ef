// The Python module lumek: scenes from files or JSON text, rendered to
// NumPy arrays through the C interface. The interpreter's lock is released
// while a picture renders, so other Python threads run meanwhile.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "lumek/lumek.h"

namespace py = pybind11;

namespace {

[[noreturn]] void raise(lumek_status status, const lumek_error& error) {
    if (status == LUMEK_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();  // MemoryError
    throw py::value_error(error.message[0] != '\0' ? error.message : lumek_status_text(status));
}

// A read scene; never changed, so threads may render it at once.
class Scene {
  public:
    explicit Scene(lumek_scene* scene) : scene_(scene, Release{}) {}

    static Scene fromFile(const std::string& path) {
        lumek_error error{};
        lumek_scene* scene = nullptr;
        lumek_status status;
        {
            py::gil_scoped_release unlocked;
            status = lumek_scene_from_file(path.c_str(), &scene, &error);
        }
        if (status != LUMEK_OK) raise(status, error);
        return Scene(scene);
    }

    static Scene fromJson(const std::string& text, const std::string& name) {
        lumek_error error{};
        lumek_scene* scene = nullptr;
        const lumek_status status =
            lumek_scene_from_json(text.data(), text.size(), name.c_str(), &scene, &error);
        if (status != LUMEK_OK) raise(status, error);
        return Scene(scene);
    }

    lumek_scene_info info() const {
        lumek_scene_info info{};
        lumek_scene_get_info(scene_.get(), &info);
        return info;
    }

    py::array_t<uint8_t> render(int32_t width, int32_t height, int64_t frame,
                                int32_t threads) const {
        if (width < 1 || height < 1 || width > LUMEK_MAX_EDGE || height > LUMEK_MAX_EDGE)
            throw py::value_error("the picture's width and height must each be 1 .. 16384");
        py::array_t<uint8_t> pixels({static_cast<py::ssize_t>(height),
                                     static_cast<py::ssize_t>(width), py::ssize_t{3}});
        const lumek_image image{pixels.mutable_data(), width, height,
                                static_cast<size_t>(width) * 3, LUMEK_RGB8};
        lumek_error error{};
        lumek_status status;
        {
            py::gil_scoped_release unlocked;
            status = lumek_render_frame(scene_.get(), frame, threads, &image, &error);
        }
        if (status != LUMEK_OK) raise(status, error);
        return pixels;
    }

  private:
    struct Release {
        void operator()(lumek_scene* s) const noexcept { lumek_scene_destroy(s); }
    };
    std::shared_ptr<lumek_scene> scene_;
};

}  // namespace

PYBIND11_MODULE(lumek, m) {
    m.doc() = "Two-dimensional soft lighting rendered on the processor, the same bytes "
              "everywhere: scene files rendered to NumPy arrays.";
    m.attr("__version__") = lumek_version_string();

    py::class_<Scene>(m, "Scene", "A scene read from a file or from JSON text.")
        .def_static("from_file", &Scene::fromFile, py::arg("path"),
                    "Reads a scene file; ValueError says what is wrong and where.")
        .def_static("from_json", &Scene::fromJson, py::arg("text"), py::arg("name") = "",
                    "Reads a scene from JSON text; `name` names it in errors.")
        .def("render", &Scene::render, py::arg("width"), py::arg("height"), py::arg("frame") = 0,
             py::arg("threads") = 0,
             "Frame `frame` as a (height, width, 3) uint8 array of RGB, the same bytes as\n"
             "`lumek --scene FILE -png --size WxH` at that frame's time. threads=0 uses\n"
             "every usable processor. Other Python threads run while it renders.")
        .def_property_readonly("width", [](const Scene& s) { return s.info().width; },
                               "The file's picture width (1024 when it gives none).")
        .def_property_readonly("height", [](const Scene& s) { return s.info().height; })
        .def_property_readonly("duration", [](const Scene& s) { return s.info().duration; },
                               "Seconds; 0 for a still scene.")
        .def_property_readonly("fps", [](const Scene& s) { return s.info().fps; })
        .def_property_readonly("frame_count", [](const Scene& s) { return s.info().frame_count; })
        .def_property_readonly("shape_count", [](const Scene& s) { return s.info().shape_count; })
        .def_property_readonly("seed", [](const Scene& s) { return s.info().seed; });
}
