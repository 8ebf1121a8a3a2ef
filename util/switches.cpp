#include "util/switches.h"

#include <cstring>

namespace lumek::switches {

bool asks(const char* text, const char* switchText) {
    return std::strstr(text, switchText) != nullptr;
}

int renderSize(const char* text, int fallback) {
    int size = fallback;
    for (const RenderSizeRow& row : kRenderSizes)
        if (asks(text, row.text)) size = row.size;
    return size;
}

namespace {

// The digits directly after the switch's first place that has any.
const char* digitsAfter(const char* text, const char* switchText) {
    const size_t length = std::strlen(switchText);
    for (const char* at = std::strstr(text, switchText); at != nullptr;
         at = std::strstr(at + 1, switchText))
        if (at[length] >= '0' && at[length] <= '9') return at + length;
    return nullptr;
}

}  // namespace

bool hasNumberAfter(const char* text, const char* switchText) {
    return digitsAfter(text, switchText) != nullptr;
}

std::optional<int> numberAfter(const char* text, const char* switchText) {
    const char* digits = digitsAfter(text, switchText);
    if (digits == nullptr) return std::nullopt;
    long value = 0;
    while (*digits == '0') ++digits;  // leading zeros add nothing
    for (int count = 0; *digits >= '0' && *digits <= '9'; ++digits, ++count) {
        if (count == 9) return std::nullopt;
        value = value * 10 + (*digits - '0');
    }
    if (value == 0) return std::nullopt;
    return static_cast<int>(value);
}

const std::vector<std::string>& everySwitch() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out = {"-i",  "-b16", "-s1", "-s2", "-s3", "-s4",
                                        "-r1", "-r2",  "-r3", "-r4", "-r5"};
        for (const RenderSizeRow& row : kRenderSizes) out.push_back(row.text);
        for (const char* s :
             {kBench, kStress, kCycle, kShot, kRecord, kJson, kPng, kResults, kReport, kCsv,
              kMarkdown, kHelp, kVersion})
            out.push_back(s);
        for (const char* s : kShotRows) out.push_back(s);
        out.push_back(kCheck);
        for (const char* s : kValueOptions) out.push_back(s);
        return out;
    }();
    return all;
}

}  // namespace lumek::switches
