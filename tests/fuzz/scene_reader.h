// The scene reader's promises, checked on arbitrary bytes: it answers every
// input with a document or a one-line error, and a document it accepts is
// written, read back and written again to the same text, and poses into as
// many shapes as it counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumek::fuzz {

// True when every promise holds; otherwise `why` names the broken one.
bool sceneReaderHolds(const uint8_t* data, size_t size, std::string& why);

}  // namespace lumek::fuzz
