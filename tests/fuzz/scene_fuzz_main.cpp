// The scene reader's libFuzzer target: a broken promise is a crash, and so
// is anything the sanitizers find.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/scene_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    if (!lumek::fuzz::sceneReaderHolds(data, size, why)) {
        std::fprintf(stderr, "scene reader: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
