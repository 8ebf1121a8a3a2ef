#include "os/memory.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace lumek::os {

namespace {

// Enough for an exception, its unwinding and a line on stderr.
constexpr size_t kReserve = 64 * 1024;

// Atomic: two threads can fail at once, and only one may free it.
std::atomic<void*> reserve{nullptr};
std::atomic<bool> mainStarted{false};

void* take() {
    void* p = std::malloc(kReserve);
    // Touched, so that its pages are really there when they are needed.
    if (p != nullptr)
        for (size_t i = 0; i < kReserve; i += 4096) static_cast<volatile char*>(p)[i] = 0;
    return p;
}

// The new handler. A failure gives the reserve back and is thrown, into
// the room the reserve leaves. Before main nothing could catch it: the
// allocation tries again instead, and main takes a new reserve.
void onAllocationFailure() {
    void* given = reserve.exchange(nullptr);
    if (given == nullptr) throw std::bad_alloc();
    std::free(given);
    if (mainStarted.load()) throw std::bad_alloc();
}

// Taken before every other static object of the program (whose
// constructors may allocate), so that their failures are covered too.
struct EarlyReserve {
    EarlyReserve() {
        reserve.store(take());
        if (reserve.load() == nullptr) {
            std::fputs("lumek: not enough memory to start\n", stderr);
            std::_Exit(1);
        }
        std::set_new_handler(onAllocationFailure);
    }
};
__attribute__((init_priority(101))) EarlyReserve early;

}  // namespace

bool holdMemoryReserve() {
    mainStarted.store(true);
    if (reserve.load() == nullptr) reserve.store(take());
    return reserve.load() != nullptr;
}

}  // namespace lumek::os
