#include "render/bytes.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lumek {

namespace {

[[noreturn]] void outOfMemory(size_t bytes) {
#if defined(__cpp_exceptions)
    throw OutOfMemory(bytes);
#else
    (void)bytes;
    std::abort();
#endif
}

#if defined(__linux__)
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kHugeFrom = size_t(1) << 20;

// A mapping of whole huge pages on a huge-page boundary (the kernel backs
// only aligned 2 MiB ranges with one), zero as every fresh mapping is.
uint8_t* mapHuge(size_t bytes, size_t& mapped) {
    mapped = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    const size_t over = mapped + kHugePage;
    void* p = mmap(nullptr, over, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(p, aligned - start);
    const uintptr_t end = start + over;
    if (end > aligned + mapped)
        munmap(reinterpret_cast<void*>(aligned + mapped), end - aligned - mapped);
    // Only advice: without huge pages the buffer works the same.
    madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
    return reinterpret_cast<uint8_t*>(aligned);
}
#endif

}  // namespace

OutOfMemory::OutOfMemory(size_t bytes) {
    std::snprintf(text_, sizeof text_, "not enough memory for a buffer of %llu bytes",
                  static_cast<unsigned long long>(bytes));
}

void FreeBytes::operator()(uint8_t* p) const {
#if defined(__linux__)
    if (mapped != 0) {
        munmap(p, mapped);
        return;
    }
#endif
    std::free(p);
}

Bytes zeroedBytes(size_t bytes) {
#if defined(__linux__)
    if (bytes >= kHugeFrom) {
        size_t mapped = 0;
        if (uint8_t* p = mapHuge(bytes, mapped)) return Bytes(p, FreeBytes{mapped});
    }
#endif
    // As operator new does: the new handler (if any) may make room.
    for (;;) {
        if (void* p = std::calloc(bytes == 0 ? 1 : bytes, 1))
            return Bytes(static_cast<uint8_t*>(p));
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) outOfMemory(bytes);
#if defined(__cpp_exceptions)
        try {
            handler();
        } catch (const std::bad_alloc&) {
            outOfMemory(bytes);
        }
#else
        handler();
#endif
    }
}

}  // namespace lumek
