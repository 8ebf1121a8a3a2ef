// What the page's module keeps of the last throw (see module_shims.cpp).
#pragma once

#include <cstddef>
#include <string>

namespace lumek::web {

struct ThrownReason {
    bool placed = false;  // the scene reader's fault: offset and path are known
    size_t offset = 0;    // into the document's text
    std::string path;     // JSON path, e.g. "shapes[3].radius"
    std::string message;
};

extern ThrownReason lastThrow;

}  // namespace lumek::web
