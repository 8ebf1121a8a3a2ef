// Text that came from a file or from the system, made safe to show on a
// terminal: control characters (C0, DEL, the C1 range and the bidirectional
// controls) become escapes, so that none can move the cursor, recolour the
// terminal, forge a line or reverse a name.
#pragma once

#include <string>
#include <string_view>

namespace lumek {

// Bytes below 0x20 and 0x7f as "\xNN"; the UTF-8 forms of U+0080..U+009F
// and of the bidirectional controls (U+061C, U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069) and the line and paragraph separators (U+2028, U+2029)
// as "\uNNNN". Everything else, other UTF-8 included, stays
// as it is.
std::string printable(std::string_view text);

}  // namespace lumek
