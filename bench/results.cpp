#include "bench/results.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace lumek {

ResultSet groupResults(const std::vector<PastResult>& records) {
    ResultSet set;
    for (const PastResult& run : records) {
        if (run.wrongFrames != 0) {
            ++set.wrongLeftOut;
            continue;
        }
        auto group = std::find_if(set.groups.begin(), set.groups.end(), [&](const ResultGroup& g) {
            return g.workloadId == run.workloadId && g.benchmarkVersion == run.benchmarkVersion;
        });
        if (group == set.groups.end()) {
            set.groups.push_back({run.workloadId, run.benchmarkVersion, {}});
            group = set.groups.end() - 1;
        }
        group->runs.push_back(run);
    }
    std::sort(set.groups.begin(), set.groups.end(), [](const ResultGroup& a, const ResultGroup& b) {
        return std::tie(b.benchmarkVersion, a.workloadId) <
               std::tie(a.benchmarkVersion, b.workloadId);
    });
    for (ResultGroup& group : set.groups)
        std::stable_sort(group.runs.begin(), group.runs.end(),
                         [](const PastResult& a, const PastResult& b) {
                             return std::tie(b.oneThreadRating, b.allThreadsRating, a.utc) <
                                    std::tie(a.oneThreadRating, a.allThreadsRating, b.utc);
                         });
    return set;
}

std::string machineName(const PastResult& run) {
    if (!run.label.empty()) return run.label;
    if (!run.cpuModel.empty()) return run.cpuModel;
    return "unnamed";
}

std::string scoreText(double score) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f", score);
    return text;
}

std::string spreadText(double spread) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %%", spread * 100);
    return text;
}

size_t textWidth(const std::string& text) {
    size_t width = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    return width;
}

}  // namespace lumek
