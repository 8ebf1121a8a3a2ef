// The differential check behind the fuzzer: a small scene (now and then
// with a crowd of up to 2,000 generated shapes), a view and an image size
// decoded from arbitrary bytes, rendered by the straightforward renderer
// and by every row shader this processor runs, on one thread and on three,
// through the per-tile lists and through the cells. Every float may be any
// bit pattern, every colour any 32-bit value, every falloff of either sign.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumek::fuzz {

// True when every renderer gives the same bytes, the same returned vectors
// and the same generator state; otherwise `why` names the first difference.
bool renderersAgree(const uint8_t* data, size_t size, std::string& why);

}  // namespace lumek::fuzz
