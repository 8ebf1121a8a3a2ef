#include "app/command_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

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

constexpr int32_t kLargestPictureSide = 16384;
// Frame numbers and seconds stay well inside what 32 bits and a double
// count exactly.
constexpr uint32_t kLastFrameNumber = 999999999u;
constexpr double kLongestTime = 1e9;

bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// A whole number of 1 to 9 digits (leading zeros aside), or nothing.
std::optional<uint32_t> wholeNumber(const std::string& text) {
    if (!allDigits(text)) return std::nullopt;
    const size_t first = text.find_first_not_of('0');
    if (first == std::string::npos) return 0u;
    if (text.size() - first > 9) return std::nullopt;
    return static_cast<uint32_t>(std::strtoul(text.c_str() + first, nullptr, 10));
}

std::optional<switches::PictureSize> parseSize(const std::string& value) {
    const size_t x = value.find('x');
    if (x == std::string::npos) return std::nullopt;
    const std::optional<uint32_t> w = wholeNumber(value.substr(0, x));
    const std::optional<uint32_t> h = wholeNumber(value.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > kLargestPictureSide || *h > kLargestPictureSide)
        return std::nullopt;
    return switches::PictureSize{static_cast<int32_t>(*w), static_cast<int32_t>(*h)};
}

// Plain decimal seconds ("2", "2.5"): no sign, exponent, hex, inf or nan.
std::optional<double> parseTime(const std::string& value) {
    const size_t point = value.find('.');
    const std::string whole = value.substr(0, point);
    if (!allDigits(whole)) return std::nullopt;
    if (point != std::string::npos && !allDigits(value.substr(point + 1))) return std::nullopt;
    const double seconds = std::strtod(value.c_str(), nullptr);
    if (!std::isfinite(seconds) || seconds > kLongestTime) return std::nullopt;
    return seconds;
}

std::optional<switches::FrameRange> parseFrames(const std::string& value) {
    const size_t dash = value.find('-');
    if (dash == std::string::npos) return std::nullopt;
    const std::optional<uint32_t> a = wholeNumber(value.substr(0, dash));
    const std::optional<uint32_t> b = wholeNumber(value.substr(dash + 1));
    if (!a || !b || *a > *b || *b > kLastFrameNumber) return std::nullopt;
    return switches::FrameRange{*a, *b};
}

// A label goes into records, tables and web pages: printable UTF-8 of a
// length a table can show.
constexpr size_t kLongestLabel = 100;

bool isLabel(const std::string& text) {
    if (text.size() > kLongestLabel) return false;
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) return false;
        // The sequence's length from its first byte; overlong forms,
        // surrogates and values above U+10FFFF are not UTF-8.
        size_t length = byte < 0x80 ? 1 : byte >= 0xC2 && byte <= 0xDF ? 2
                                      : byte >= 0xE0 && byte <= 0xEF ? 3
                                      : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                     : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)) || (code >= 0x80 && code < 0xA0))
            return false;
        i += length;
    }
    return true;
}

// The option `word` names (exactly, or as "--option=value"), with the value
// that follows its "=".
const char* optionNamed(const std::string& word, std::optional<std::string>& joinedValue) {
    for (const char* option : switches::kValueOptions) {
        const size_t length = std::strlen(option);
        if (word.compare(0, length, option) != 0) continue;
        if (word.size() == length) return option;
        if (word[length] == '=') {
            joinedValue = word.substr(length + 1);
            return option;
        }
    }
    return nullptr;
}

bool isOption(const std::string& word) {
    std::optional<std::string> ignored;
    return optionNamed(word, ignored) != nullptr;
}

// Checks `value` and stores it; false with `error` set when it is not one
// the option takes.
bool takeValue(const char* option, const std::optional<std::string>& value,
               ValueOptions& options, std::string& error) {
    const std::string name = option;
    auto fail = [&](const char* expected) {
        error = name + " needs " + expected;
        if (value && !value->empty()) error += ", not \"" + *value + "\"";
        return false;
    };
    // A missing value: nothing follows, or another option does.
    if (!value || value->empty() || isOption(*value)) {
        if (name == switches::kSize) return fail("a size such as 1920x1080 (1 to 16384 each)");
        if (name == switches::kTime) return fail("a time in seconds such as 2.5");
        if (name == switches::kFrames) return fail("a range of frames such as 100-119");
        if (name == switches::kSaveScenes) return fail("a folder");
        if (name == switches::kOutput) return fail("a file name");
        if (name == switches::kLabel) return fail("a name for the machine");
        return fail("a scene file");
    }
    auto twice = [&] {
        error = name + " is given twice";
        return false;
    };
    if (name == switches::kScene) {
        if (options.scene) return twice();
        options.scene = *value;
    } else if (name == switches::kOutput) {
        if (options.output) return twice();
        // A folder names no file: "shots/" would be written as "shots/.png".
        const char last = value->back();
        if (last == '/' || last == '\\' || *value == "." || *value == "..")
            return fail("a file name (a folder is none)");
        options.output = *value;
    } else if (name == switches::kSaveScenes) {
        if (options.saveScenes) return twice();
        options.saveScenes = *value;
    } else if (name == switches::kSize) {
        if (options.size) return twice();
        options.size = parseSize(*value);
        if (!options.size) return fail("a size such as 1920x1080 (1 to 16384 each)");
    } else if (name == switches::kTime) {
        if (options.time) return twice();
        options.time = parseTime(*value);
        if (!options.time) return fail("a time in seconds such as 2.5 (0 or more)");
    } else if (name == switches::kLabel) {
        if (options.label) return twice();
        if (!isLabel(*value)) {
            // Not repeated: it may hold what a terminal should not be sent.
            error = name + " needs printable text (UTF-8) of at most " +
                    std::to_string(kLongestLabel) + " bytes";
            return false;
        }
        options.label = *value;
    } else if (name == switches::kFrames) {
        if (options.frames) return twice();
        options.frames = parseFrames(*value);
        if (!options.frames)
            return fail("a range of frames such as 100-119 (first to last, from 0)");
    }
    return true;
}

// One word of a whole command line: up to the next blank outside quotes.
struct Word {
    size_t begin = 0;
    size_t end = 0;
    std::string value;  // without its quotes
};

std::vector<Word> splitWords(const std::string& text) {
    std::vector<Word> words;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at])) ++at;
        if (at == text.size()) break;
        Word word;
        word.begin = at;
        bool quoted = false;
        for (; at < text.size() && (quoted || !isBlank(text[at])); ++at) {
            if (text[at] == '"')
                quoted = !quoted;
            else
                word.value += text[at];
        }
        word.end = at;
        words.push_back(word);
    }
    return words;
}

bool endsWith(const std::string& text, const char* end) {
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// A length given as the next word ("-stress 5m", "-cycle 90") is joined to
// its switch, where the switches are looked for.
std::string joinLengths(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (!endsWith(out, switches::kStress) && !endsWith(out, switches::kCycle)) continue;
        size_t next = i + 1;
        while (next < text.size() && isBlank(text[next])) ++next;
        if (next > i + 1 && next < text.size() && text[next] >= '0' && text[next] <= '9')
            i = next - 1;
    }
    return out;
}

}  // namespace

CommandLine readArguments(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        std::optional<std::string> value;
        if (const char* option = optionNamed(word, value)) {
            if (!value && i + 1 < argc) value = argv[++i];
            if (!takeValue(option, value, line.options, line.error)) return line;
            continue;
        }
        if (!line.text.empty()) line.text += ' ';
        line.text += word;
    }
    line.text = joinLengths(line.text);
    return line;
}

CommandLine readCommandText(const std::string& text) {
    CommandLine line;
    const std::vector<Word> words = splitWords(text);
    size_t copied = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        std::optional<std::string> value;
        const char* option = optionNamed(words[i].value, value);
        if (option == nullptr) continue;
        const size_t begin = words[i].begin;
        if (!value && i + 1 < words.size()) value = words[++i].value;
        if (!takeValue(option, value, line.options, line.error)) return line;
        line.text.append(text, copied, begin - copied);
        line.text += ' ';
        copied = words[i].end;
    }
    line.text.append(text, copied, std::string::npos);
    line.text = joinLengths(line.text);
    return line;
}

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
