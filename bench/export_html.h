// The results as one self-contained HTML page: for each group, each
// machine's scores as bars with their spread, each machine's runs over
// time, the latest run's one-thread rounds as a histogram, and the table;
// and the stability runs' logs as charts over time.
// The charts are static SVG written here: the page needs no script, no
// network and no chart library to be seen, printed or mailed.
#pragma once

#include <string>
#include <vector>

#include "bench/results.h"
#include "bench/stress_log.h"

namespace lumek {

// `sources`: the files the records came from, named on the page. Each of
// `logs` (the stability runs' logs) gets a section after the benchmark's:
// each processor's frames per second and clock over time, with its wrong
// frames marked, and the temperature.
std::string resultsHtml(const ResultSet& results, const std::vector<std::string>& sources,
                        const std::vector<StressLogData>& logs = {});

}  // namespace lumek
