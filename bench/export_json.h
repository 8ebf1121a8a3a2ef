// The result record as JSON: one object on one line, appended to
// "bench.jsonl" and printed with "-json"; and what a later run reads back
// from such a line to compare itself with it.
#pragma once

#include <string>
#include <vector>

#include "bench/result.h"

namespace lumek {

inline constexpr const char* kRecordFormat = "lumek-bench";
inline constexpr int kRecordFormatVersion = 1;

// One line of JSON, without its line end.
std::string resultJson(const BenchResult& result);

// What a comparison needs from an earlier record.
struct PastResult {
    int benchmarkVersion = 1;  // kBenchmarkVersion of the run that wrote it
    std::string label;         // "" in records without one
    std::string programVersion;
    std::string utc;
    std::string workloadId;
    std::string cpuModel;
    std::string rowShader;
    int logicalUsable = 0;
    int allThreads = 0;        // threads of the all-threads figure
    uint64_t wrongFrames = 0;  // a run with any has no valid figures
    double oneThreadRating = 0;
    double oneThreadSpread = 0;
    double allThreadsRating = 0;
    double allThreadsSpread = 0;
    std::vector<double> oneThreadRoundsNs;  // every one-thread round, when the record has them
};

// Reads one line of "bench.jsonl"; false for a line that is not a record of
// this program in a format it knows (malformed, foreign, another version).
bool readPastResult(const std::string& line, PastResult& past);

}  // namespace lumek
