// Records of one or more "bench.jsonl" files gathered for people to compare:
// grouped by what they measured (workload and benchmark version: records
// of different groups are never set side by side), each group's runs
// sorted by score. The formats that show them are export_table.*,
// export_csv.*, export_markdown.* and export_html.*.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bench/export_json.h"

namespace lumek {

struct ResultGroup {
    std::string workloadId;
    int benchmarkVersion = 1;
    // Best first: by the one-thread score, then the all-threads score, then
    // the earlier run.
    std::vector<PastResult> runs;
};

struct ResultSet {
    // The newest benchmark version first; within one, by workload.
    std::vector<ResultGroup> groups;
    size_t wrongLeftOut = 0;  // runs that found wrong frames have no valid scores
};

ResultSet groupResults(const std::vector<PastResult>& records);

// The machine a run is shown under: its label, or for records without one
// its processor.
std::string machineName(const PastResult& run);

// The figures as every table shows them: "1145.15", "1.2 %".
std::string scoreText(double score);
std::string spreadText(double spread);

// The width a text takes on a terminal, counted in characters (UTF-8), not
// bytes.
size_t textWidth(const std::string& text);

}  // namespace lumek
