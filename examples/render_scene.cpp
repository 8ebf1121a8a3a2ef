// Renders frames of a scene file with Lumek's C++ header and writes each as
// a PNG (or as raw RGB bytes when the name ends in ".rgb"). One renderer
// keeps its threads and frame from one picture to the next.
//
//   render_scene_cpp SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]
#include <lumek/lumek.hpp>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5 && argc != 6) {
        std::cerr << "usage: " << argv[0] << " SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]\n";
        return 2;
    }
    try {
        const lumek::Scene scene = lumek::Scene::fromFile(argv[1]);
        const lumek::SceneInfo info = scene.info();
        const int32_t width = argc >= 5 ? std::atoi(argv[3]) : info.width;
        const int32_t height = argc >= 5 ? std::atoi(argv[4]) : info.height;
        const int64_t frame = argc == 6 ? std::atoll(argv[5]) : 0;

        lumek::Renderer renderer;  // every usable processor
        const std::vector<uint8_t> rgb = renderer.renderFrame(scene, frame, width, height);

        const std::string out = argv[2];
        if (out.size() >= 4 && out.compare(out.size() - 4, 4, ".rgb") == 0) {
            std::ofstream file(out, std::ios::binary);
            file.write(reinterpret_cast<const char*>(rgb.data()),
                       static_cast<std::streamsize>(rgb.size()));
            if (!file.flush()) throw std::runtime_error("could not write " + out);
        } else if (!stbi_write_png(out.c_str(), width, height, 3, rgb.data(), width * 3)) {
            throw std::runtime_error("could not write " + out);
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
