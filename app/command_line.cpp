#include "app/command_line.h"

#include <cstring>

#include "util/switches.h"

namespace lumek {

namespace {

enum class Action { NoFiltering, Colour16, Scale, RenderSize, Resolution };

struct SwitchRow {
    const char* text;
    Action action;
    float factor;  // Scale
    int32_t a;     // width for Resolution
    int32_t b;     // height for Resolution
};

// Order matters: among sizes and resolutions the later row wins.
constexpr SwitchRow kSwitches[] = {
    {"-i", Action::NoFiltering, 0, 0, 0},      {"-b16", Action::Colour16, 0, 0, 0},
    {"-s1", Action::Scale, 0.75f, 0, 0},       {"-s2", Action::Scale, 0.5f, 0, 0},
    {"-s3", Action::Scale, 0.33f, 0, 0},       {"-s4", Action::Scale, 0.25f, 0, 0},
    {nullptr, Action::RenderSize, 0, 0, 0},  // the render sizes' rows (util/switches.h)
    {"-r1", Action::Resolution, 0, 320, 240},  {"-r2", Action::Resolution, 0, 400, 300},
    {"-r3", Action::Resolution, 0, 640, 480},  {"-r4", Action::Resolution, 0, 800, 600},
    {"-r5", Action::Resolution, 0, 1024, 768},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void applyCommandLine(const char* text, Settings& s) {
    for (const SwitchRow& row : kSwitches) {
        if (row.action == Action::RenderSize) {
            s.renderSize = switches::renderSize(text, s.renderSize);
            continue;
        }
        if (!switches::asks(text, row.text)) continue;
        switch (row.action) {
            case Action::NoFiltering:
                s.linearFiltering = false;
                break;
            case Action::Colour16:
                s.colourBits = 16;
                break;
            case Action::Scale:
                s.quadScale = s.quadScale * row.factor;
                break;
            case Action::RenderSize:
                break;
            case Action::Resolution:
                s.screenWidth = row.a;
                s.screenHeight = row.b;
                break;
        }
    }
}

const char* skipProgramName(const char* p) {
    while (isBlank(*p)) ++p;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && !isBlank(*p)) ++p;
    }
    while (isBlank(*p)) ++p;
    return p;
}

std::string joinArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

}  // namespace lumek
