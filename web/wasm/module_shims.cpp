// What the page's module links against in place of the desktop's services.
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include "web/wasm/module_shims.h"

#include "os/files.h"

namespace lumek::os {

// No files here: documents come in as text from the page (scene_text).
ReadResult readRegularFile(const std::string&, uint64_t, std::string&, std::string& error) {
    error = "the page reads no files; it hands the document's text over";
    return ReadResult::Failed;
}

}  // namespace lumek::os

// wasm32-wasi has no unwinding: a throw stops the module with a trap,
// which the page catches (the instance stays usable; the thrown object's
// memory is not given back). Before the trap the reason is kept, so that the
// page can say why a document was refused: the scene reader's own faults
// (an offset in the text, the JSON path, the message) and anything derived
// from std::exception (the JSON library's type errors).
namespace lumek::web {

ThrownReason lastThrow;

}  // namespace lumek::web

namespace {

// The scene reader's fault, as it throws it.
struct ReaderFault {
    size_t offset;
    std::string path;
    std::string message;
};

}  // namespace

extern "C" void* __cxa_allocate_exception(size_t bytes) {
    void* memory = std::malloc(bytes);
    if (!memory) {
        lumek::web::lastThrow = {};
        lumek::web::lastThrow.message = "out of memory";
        __builtin_trap();
    }
    return memory;
}

extern "C" void __cxa_throw(void* thrown, void* type, void (*)(void*)) {
    using lumek::web::lastThrow;
    const std::string name = static_cast<const std::type_info*>(type)->name();
    lastThrow = {};
    if (name.find("5Fault") != std::string::npos) {
        const auto* fault = static_cast<const ReaderFault*>(thrown);
        lastThrow.placed = true;
        lastThrow.offset = fault->offset;
        lastThrow.path = fault->path;
        lastThrow.message = fault->message;
    } else if (name.find("nlohmann") != std::string::npos || name.find("St") == 0) {
        lastThrow.message = static_cast<const std::exception*>(thrown)->what();
    } else {
        lastThrow.message = "an unexpected fault";
    }
    __builtin_trap();
}
