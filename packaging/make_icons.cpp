// Writes the program's icons at build time:
//   lumek_icons FOLDER NAME
// gives FOLDER/hicolor/<n>x<n>/apps/NAME.png for every size (the layout of
// the hicolor icon theme) and FOLDER/NAME.ico for Windows. The pictures are
// the same bytes on every build, so a cross build may use a native build's.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "os/files.h"
#include "packaging/icons.h"
#include "shots/png.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lumek_icons FOLDER NAME\n");
        return 2;
    }
    const std::string folder = argv[1], name = argv[2];
    const int threads = static_cast<int>(std::thread::hardware_concurrency());
    const lumek::IconPicture master = lumek::renderIconMaster(threads > 0 ? threads : 1);
    bool ok = true;
    auto write = [&ok](const std::string& path, const std::string& bytes) {
        std::string error;
        std::error_code made;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
        if (!bytes.empty() && lumek::os::replaceFile(path, bytes, error)) return;
        std::fprintf(stderr, "lumek_icons: cannot write %s: %s\n", path.c_str(),
                     bytes.empty() ? "the picture could not be encoded" : error.c_str());
        ok = false;
    };
    std::vector<lumek::IconPicture> pictures;
    for (int size : lumek::kIconSizes) {
        pictures.push_back(lumek::shrinkIcon(master, size));
        const std::string edge = std::to_string(size);
        write(folder + "/hicolor/" + edge + "x" + edge + "/apps/" + name + ".png",
              lumek::encodePngRgb(pictures.back().rgb.data(), size, size));
    }
    write(folder + "/" + name + ".ico", lumek::encodeIco(pictures));
    return ok ? 0 : 1;
}
