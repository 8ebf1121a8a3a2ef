// Earlier results in "bench.jsonl": the last one that measured the same work
// on the same machine, and how this run compares with it. The file is only
// read here, never rewritten.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bench/export_json.h"

namespace lumek {

struct History {
    // The last earlier record of the same workload and benchmark version on
    // the same machine: processor model, usable processor count and row
    // shader alike.
    std::optional<PastResult> lastComparable;
    std::vector<PastResult> records;  // every record read, in the file's order
    std::vector<size_t> skippedLines;  // numbered from 1: not records this program reads
    // The file's last byte is no line end (an earlier write was cut short,
    // or someone cut the file), or it is not known: the next record must
    // start a line of its own.
    bool unterminated = false;
    // Why the file could not be read to its end (empty when it could, or
    // when there is none); what was read before counts.
    std::string unreadable;
    // The file is no regular one: it is neither read nor appended to.
    bool refused = false;
};

// Lines longer than any record can be: skipped without being held.
inline constexpr size_t kLongestRecordLine = size_t(1) << 20;

// Reads the file at `path` (none is an empty history), never waiting for a
// FIFO's writer; what keeps it from being read, running out of memory
// included, is said in `unreadable`.
History readHistory(const std::string& path, const BenchResult& now);

// Every record of the file at `path`, for tables and plots (none is
// compared with anything).
History readRecords(const std::string& path);

// "Compared with the run of 2026-12-08T12:30:05Z: one thread +2.3 %, more
// than the two runs' spread (1.1 %); all threads -0.4 %, within the two
// runs' spread (1.5 %)."
std::string comparisonLine(const PastResult& before, const BenchResult& now);

// "lumek: bench.jsonl: skipped 2 lines that are not results this program
// reads (3, 7)."
std::string skippedLinesNote(const std::string& path, const std::vector<size_t>& lines);

}  // namespace lumek
