// The program with a count of every allocation, for the whole-show test:
// after each frame it notes the show's clock, the allocations so far and
// the resident memory, and writes the notes to a file at the end.
//
//   lumek_show_probe <notes file> [--leak] <lumek switches...>
//
// --leak loses a kilobyte every frame, to show that the test's check finds
// a real leak.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/interactive.h"
#include "app/program.h"

namespace {

std::atomic<uint64_t> allocations{0};

struct Note {
    uint32_t elapsedMs;
    uint64_t allocations;
    long residentKiB;
};
// Room for the whole show at well over a thousand frames a second; notes
// beyond it are dropped, never allocated.
constexpr size_t kMaxNotes = 1 << 20;
Note* notes = nullptr;
size_t noteCount = 0;
bool leak = false;

long residentKiB() {
    // /proc/self/statm in pages; read without allocating.
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0;
    long size = 0, resident = 0;
    const int read = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return read == 2 ? resident * 4 : 0;
}

void noteFrame(uint32_t elapsedMs) {
    if (leak) {
        char* lost = new char[1024];
        std::memset(lost, 1, 1024);  // touched, so it is resident
    }
    if (noteCount < kMaxNotes)
        notes[noteCount++] = {elapsedMs, allocations.load(std::memory_order_relaxed),
                              residentKiB()};
}

}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* notesPath = argv[1];
    int first = 2;
    if (argc > 2 && std::strcmp(argv[2], "--leak") == 0) {
        leak = true;
        first = 3;
    }
    notes = static_cast<Note*>(std::calloc(kMaxNotes, sizeof(Note)));
    lumek::observeFrames(noteFrame);
    std::string text;
    for (int i = first; i < argc; ++i) {
        if (i > first) text += ' ';
        text += argv[i];
    }
    const int status = lumek::runProgram(text.c_str());

    FILE* out = std::fopen(notesPath, "w");
    if (out == nullptr) return 3;
    for (size_t i = 0; i < noteCount; ++i)
        std::fprintf(out, "%u %llu %ld\n", notes[i].elapsedMs,
                     static_cast<unsigned long long>(notes[i].allocations), notes[i].residentKiB);
    std::fclose(out);
    return status;
}
