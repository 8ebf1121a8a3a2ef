#include "bench/export_csv.h"

#include <cstdio>

#include "util/printable.h"

namespace lumek {

namespace {

// Quoted when it holds a comma, a quote or a line end; quotes doubled.
std::string field(const std::string& raw) {
    // Text from the records: no control character reaches a terminal.
    const std::string text = printable(raw);
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string percent(double spread) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", spread * 100);
    return text;
}

}  // namespace

std::string resultsCsv(const ResultSet& results) {
    std::string out =
        "workload,benchmark_version,label,processor,threads,row_shader,one_thread,"
        "one_thread_spread_percent,all_threads,all_threads_spread_percent,program_version,"
        "time_utc\n";
    for (const ResultGroup& group : results.groups)
        for (const PastResult& run : group.runs)
            out += field(run.workloadId) + "," + std::to_string(run.benchmarkVersion) + "," +
                   field(machineName(run)) + "," + field(run.cpuModel) + "," +
                   std::to_string(run.allThreads) + "," + field(run.rowShader) + "," +
                   scoreText(run.oneThreadRating) + "," + percent(run.oneThreadSpread) + "," +
                   scoreText(run.allThreadsRating) + "," + percent(run.allThreadsSpread) + "," +
                   field(run.programVersion) + "," + field(run.utc) + "\n";
    return out;
}

}  // namespace lumek
