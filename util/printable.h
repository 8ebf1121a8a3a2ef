// Text that came from a file or from the system, made safe to show on a
// terminal: control characters (C0, DEL and the C1 range) become escapes,
// so that none can move the cursor, recolour the terminal or forge a line.
#pragma once

#include <string>
#include <string_view>

namespace lumek {

// Bytes below 0x20 and 0x7f as "\xNN"; the UTF-8 forms of U+0080..U+009F
// as "\u00NN". Everything else, other UTF-8 included, stays as it is.
std::string printable(std::string_view text);

}  // namespace lumek
