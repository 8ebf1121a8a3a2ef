// The results as a table for the terminal: a heading for each group, then
// one aligned row per run.
#pragma once

#include <string>

#include "bench/results.h"

namespace lumek {

std::string resultsTable(const ResultSet& results);

}  // namespace lumek
