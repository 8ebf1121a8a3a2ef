#include "bench/history.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "bench/verify.h"

namespace lumek {

namespace {

// The same work on the same machine, measured alike and by the same
// measure (benchmark version): a run with wrong frames has no valid
// figures, and an all-threads figure on fewer threads (some could not be
// started) measured something else.
bool comparable(const PastResult& past, const BenchResult& now) {
    return past.benchmarkVersion == kBenchmarkVersion &&
           past.workloadId == hashHex(now.workloadId) &&
           past.cpuModel == now.machine.processor.model &&
           past.logicalUsable == now.machine.logicalUsable && past.rowShader == now.rowShader &&
           past.wrongFrames == 0 && past.allThreads == now.allThreads.threads;
}

std::string percent(double value, bool sign) {
    char text[32];
    std::snprintf(text, sizeof text, sign ? "%+.1f %%" : "%.1f %%", value);
    return text;
}

// One rating's change and whether it exceeds the runs' spreads together.
std::string change(const char* label, double before, double after, double spreadBefore,
                   double spreadAfter) {
    const double changed = (after - before) / before * 100;
    const double spread = (std::isfinite(spreadBefore) ? spreadBefore : 0) + spreadAfter;
    return std::string(label) + " " + percent(changed, true) +
           (std::fabs(changed) > spread * 100 ? ", more than" : ", within") +
           " the two runs' spread (" + percent(spread * 100, false) + ")";
}

}  // namespace

History readRecords(const std::string& path) {
    // A result of no machine (no usable processor) is comparable with none.
    return readHistory(path, BenchResult{});
}

History readHistory(const std::string& path, const BenchResult& now) {
    History history;
    std::ifstream in(path, std::ios::binary);
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        // The last line has no line end when an earlier write was cut short
        // (or someone cut the file): the next record must not join it.
        history.unterminated = in.eof();
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        PastResult past;
        if (!readPastResult(line, past)) {
            history.skippedLines.push_back(number);
            continue;
        }
        history.records.push_back(past);
        if (comparable(past, now)) history.lastComparable = past;
    }
    return history;
}

std::string comparisonLine(const PastResult& before, const BenchResult& now) {
    const double one = kReferenceRenderMs / now.oneThread.msPerRound;
    const double all = kReferenceRenderMs / now.allThreads.msPerRound;
    return "Compared with the run of " + before.utc + ": " +
           change("one thread", before.oneThreadRating, one, before.oneThreadSpread,
                  now.oneThread.spread) +
           "; " +
           change("all threads", before.allThreadsRating, all, before.allThreadsSpread,
                  now.allThreads.spread) +
           ".";
}

std::string skippedLinesNote(const std::string& path, const std::vector<size_t>& lines) {
    std::string numbers;
    for (size_t i = 0; i < lines.size() && i < 5; ++i)
        numbers += (i ? ", " : "") + std::to_string(lines[i]);
    if (lines.size() > 5) numbers += ", ...";
    return "lumek: " + path + ": skipped " + std::to_string(lines.size()) +
           (lines.size() == 1 ? " line that is not a result" : " lines that are not results") +
           " this program reads (" + numbers + ")";
}

}  // namespace lumek
