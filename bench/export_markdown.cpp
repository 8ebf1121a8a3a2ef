#include "bench/export_markdown.h"

#include "util/printable.h"

namespace lumek {

namespace {

// A cell's text: on one line, its bars and Markdown's marks escaped so that
// a label cannot break the table or format itself.
std::string cell(const std::string& text) {
    std::string out;
    for (const char c : printable(text)) {
        if (std::string("\\|*_`[]<>#~").find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out.empty() ? "-" : out;
}

}  // namespace

std::string resultsMarkdown(const ResultSet& results) {
    std::string out;
    for (const ResultGroup& group : results.groups) {
        if (!out.empty()) out += "\n";
        out += "### Workload " + cell(group.workloadId) + ", benchmark version " +
               std::to_string(group.benchmarkVersion) + "\n\n";
        out +=
            "| Label | Processor | Threads | Row shader | Version | 1 thread | ± | All threads "
            "| ± | Time (UTC) |\n";
        out += "|:---|:---|---:|:---|---:|---:|---:|---:|---:|:---|\n";
        for (const PastResult& run : group.runs)
            out += "| " + cell(machineName(run)) + " | " + cell(run.cpuModel) + " | " +
                   std::to_string(run.allThreads) + " | " + cell(run.rowShader) + " | " +
                   std::to_string(run.benchmarkVersion) + " | " + scoreText(run.oneThreadRating) +
                   " | " + spreadText(run.oneThreadSpread) + " | " +
                   scoreText(run.allThreadsRating) + " | " + spreadText(run.allThreadsSpread) +
                   " | " + cell(run.utc) + " |\n";
    }
    return out;
}

}  // namespace lumek
