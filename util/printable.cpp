#include "util/printable.h"

#include <cstdio>

namespace lumek {
namespace {

bool bidiControl(std::string_view c) {
    const auto second = static_cast<unsigned char>(c[1]), third = static_cast<unsigned char>(c[2]);
    return (second == 0x80 && ((third >= 0x8e && third <= 0x8f) || (third >= 0xa8 && third <= 0xae))) ||
           (second == 0x81 && third >= 0xa6 && third <= 0xa9);
}

}  // namespace

std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char escape[8];
        if (byte < 0x20 || byte == 0x7f) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        } else if (byte == 0xc2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          static_cast<unsigned char>(text[i + 1]));
            shown += escape;
            ++i;
        } else if (byte == 0xd8 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x9c) {
            shown += "\\u061c";  // the Arabic letter mark, a bidirectional control too
            ++i;
        } else if (byte == 0xe2 && i + 2 < text.size() && bidiControl(text.substr(i, 3))) {
            // U+200E..U+200F, U+202A..U+202E, U+2066..U+2069: they turn the
            // text shown after them around (a name that reads as another);
            // U+2028..U+2029 end a line as a line end does.
            const unsigned code = 0x2000 | ((static_cast<unsigned char>(text[i + 1]) & 0x3f) << 6) |
                                  (static_cast<unsigned char>(text[i + 2]) & 0x3f);
            std::snprintf(escape, sizeof escape, "\\u%04x", code);
            shown += escape;
            i += 2;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace lumek
