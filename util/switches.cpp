#include "util/switches.h"

#include <algorithm>
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

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The word from `at` to the next blank (a long one cut: it is only named).
std::string wordFrom(const char* at) {
    const char* end = at;
    while (*end != '\0' && !isBlank(*end) && end - at < 40) ++end;
    return std::string(at, end);
}

}  // namespace

Length lengthAfter(const char* text, const char* switchText, int64_t bareUnitSeconds) {
    const size_t length = std::strlen(switchText);
    // The first place where text is joined to the switch: nothing, a blank
    // or the next switch ("-stress-t3") after it is no length.
    auto joined = [](const char* after) {
        return *after != '\0' && !isBlank(*after) &&
               !(after[0] == '-' && after[1] != '\0' && !isDigit(after[1]));
    };
    // The next place, from `from` on, where text is joined to the switch.
    auto joinedFrom = [&](const char* from) {
        const char* place = std::strstr(from, switchText);
        while (place != nullptr && !joined(place + length))
            place = std::strstr(place + 1, switchText);
        return place;
    };
    const char* at = joinedFrom(text);
    Length out;
    if (at == nullptr) return out;
    const char* p = at + length;
    auto invalid = [&](std::string hint) {
        out.status = Length::Invalid;
        out.word = wordFrom(at);
        out.hint = std::move(hint);
        return out;
    };
    const std::string name = switchText;
    if (!isDigit(*p)) {
        // "-stress=5": the length goes directly after the switch; "-stressx",
        // "-stress-5" take none.
        const bool separator = *p == '=' || *p == ':';
        const std::string rest = separator ? wordFrom(p + 1) : "";
        return invalid(name + (rest.empty() || !isDigit(rest[0]) ? "30" : rest));
    }
    const char* digits = p;
    while (*p == '0') ++p;
    int64_t value = 0;
    int count = 0;
    for (; isDigit(*p) && count < 10; ++p, ++count) value = value * 10 + (*p - '0');
    const std::string number(digits, p);
    if (count > 9 || value == 0) return invalid(name + "30");
    int64_t unit = bareUnitSeconds;
    if (*p == 's' || *p == 'm' || *p == 'h') {
        unit = *p == 's' ? 1 : *p == 'm' ? 60 : 3600;
        ++p;
    }
    // Only a switch may follow the length in its word ("-stress2h-t3"):
    // other text ("-stress1s-5") would be dropped unsaid.
    bool switchFollows = false;
    for (const std::string& s : everySwitch())
        switchFollows = switchFollows || std::strncmp(p, s.c_str(), s.size()) == 0;
    if (*p != '\0' && !isBlank(*p) && !switchFollows)
        return invalid(name + number + "s, " + name + number + "m or " + name + number + "h");
    // Beyond what a clock of nanoseconds counts (292 years) no run goes.
    if (value * unit > kLongestLengthSeconds) return invalid(name + "30");
    // A second length ("-stress1 -stress2") leaves the run's length unsaid.
    if (const char* again = joinedFrom(at + 1); again != nullptr) {
        out.status = Length::Twice;
        out.word = wordFrom(at);
        out.hint = wordFrom(again);
        return out;
    }
    out.status = Length::Valid;
    out.seconds = value * unit;
    return out;
}

namespace {

std::vector<std::string> splitWords(const char* text) {
    std::vector<std::string> words;
    std::string word;
    for (const char* p = text;; ++p) {
        if (*p == '\0' || isBlank(*p)) {
            if (!word.empty()) words.push_back(word);
            word.clear();
            if (*p == '\0') break;
        } else if (*p != '"') {
            word += *p;
        }
    }
    return words;
}

bool isHelpWord(const std::string& word) {
    for (const char* help : kHelpWords)
        if (word == help) return true;
    return false;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (a[i - 1] != b[j - 1] ? 1u : 0u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string withoutDashes(const std::string& text) {
    const size_t first = text.find_first_not_of('-');
    return first == std::string::npos ? "" : text.substr(first);
}

}  // namespace

bool hasHelpWord(const char* text) {
    for (const std::string& word : splitWords(text))
        if (isHelpWord(word)) return true;
    return false;
}

std::vector<std::string> unknownWords(const char* text) {
    std::vector<std::string> unknown;
    for (const std::string& word : splitWords(text)) {
        if (isHelpWord(word)) continue;
        bool known = false;
        for (const std::string& s : everySwitch())
            if (word.find(s) != std::string::npos) known = true;
        if (!known) unknown.push_back(word);
    }
    return unknown;
}

std::string nearestSwitch(const std::string& word) {
    // Counted in half steps: a word that begins a switch's name ("-v",
    // "-rec") is taken as meaning it before one a letter away.
    const std::string bare = withoutDashes(word);
    std::string best;
    size_t bestCost = 0;
    auto consider = [&](const std::string& s) {
        size_t cost = 2 * editDistance(word, s);
        const std::string name = withoutDashes(s);
        if (!bare.empty() && name.compare(0, bare.size(), bare) == 0)
            cost = std::min<size_t>(cost, 1);
        if (best.empty() || cost < bestCost) {
            best = s;
            bestCost = cost;
        }
    };
    for (const std::string& s : everySwitch()) consider(s);
    for (const char* help : kHelpWords) consider(help);
    return best;
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
