// Zeroed byte buffers for the large, long-lived arrays: pictures and the
// fast renderer's candidate lists.
//
// On Linux a buffer of a megabyte or more is mapped on its own and asks for
// transparent huge pages: a first touch of 4 KiB pages costs a fault each,
// about 13 us in a virtual machine, so a 1024 x 768 picture took 10 ms of
// faults before its first pixel was kept; huge pages take two. Elsewhere,
// and for small buffers, it is calloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace lumek {

// Frees what zeroedBytes gave: `mapped` bytes unmapped, or free() when 0.
struct FreeBytes {
    size_t mapped = 0;
    void operator()(uint8_t* p) const;
};

using Bytes = std::unique_ptr<uint8_t[], FreeBytes>;

// Memory ran out for a buffer; says how large it was. Its text is made
// without allocating.
class OutOfMemory : public std::bad_alloc {
  public:
    explicit OutOfMemory(size_t bytes);
    const char* what() const noexcept override { return text_; }

  private:
    char text_[64];
};

// What a failed allocation says of itself, for one line on stderr.
inline const char* memoryText(const std::bad_alloc& e) {
    return dynamic_cast<const OutOfMemory*>(&e) != nullptr ? e.what() : "not enough memory";
}

// `bytes` zeroed bytes (at least one); throws OutOfMemory, or aborts in
// builds without exceptions, when there is no memory.
Bytes zeroedBytes(size_t bytes);

// A buffer that only grows, for contents rebuilt before every use: a
// larger request replaces it (nothing is copied), a smaller one keeps it.
class ScratchBytes {
  public:
    uint8_t* atLeast(size_t size) {
        if (capacity_ < size) {
            bytes_ = zeroedBytes(size);
            capacity_ = size;
        }
        return bytes_.get();
    }
    uint8_t* get() const { return bytes_.get(); }

  private:
    Bytes bytes_;
    size_t capacity_ = 0;
};

}  // namespace lumek
