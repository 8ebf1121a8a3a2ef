// The libFuzzer target: every input that makes two renderers disagree is a
// crash, and so is anything the sanitizers find.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    if (!lumek::fuzz::renderersAgree(data, size, why)) {
        std::fprintf(stderr, "renderers disagree: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
