#include "bench/export_table.h"

#include <algorithm>
#include <vector>

#include "util/printable.h"

namespace lumek {

namespace {

using Row = std::vector<std::string>;

Row cells(const PastResult& run) {
    return {printable(machineName(run)),
            printable(run.cpuModel.empty() ? "-" : run.cpuModel),
            std::to_string(run.allThreads),
            printable(run.rowShader),
            std::to_string(run.benchmarkVersion),
            scoreText(run.oneThreadRating),
            "± " + spreadText(run.oneThreadSpread),
            scoreText(run.allThreadsRating),
            "± " + spreadText(run.allThreadsSpread),
            printable(run.utc)};
}

// Numbers line up on the right, words on the left.
constexpr bool kRightAligned[] = {false, false, true, false, true, true, true, true, true, false};

}  // namespace

std::string resultsTable(const ResultSet& results) {
    const Row heading = {"Label",    "Processor", "Threads",     "Row shader", "Version",
                         "1 thread", "",          "All threads", "",           "Time (UTC)"};
    std::string out;
    for (const ResultGroup& group : results.groups) {
        std::vector<Row> rows = {heading};
        for (const PastResult& run : group.runs) rows.push_back(cells(run));
        std::vector<size_t> widths(heading.size(), 0);
        for (const Row& row : rows)
            for (size_t i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], textWidth(row[i]));
        if (!out.empty()) out += "\n";
        out += "Workload " + printable(group.workloadId) + ", benchmark version " +
               std::to_string(group.benchmarkVersion) + " (higher is better):\n";
        for (const Row& row : rows) {
            std::string line;
            for (size_t i = 0; i < row.size(); ++i) {
                const std::string pad(widths[i] - textWidth(row[i]), ' ');
                line += i == 0 ? "" : "  ";
                line += kRightAligned[i] ? pad + row[i] : row[i] + pad;
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + "\n";
        }
    }
    return out;
}

}  // namespace lumek
