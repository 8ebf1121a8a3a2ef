// The results as CSV (RFC 4180's quoting, "\n" line ends): one header
// line, one line per run, the groups one after the other; scores as plain
// numbers, spreads in percent.
#pragma once

#include <string>

#include "bench/results.h"

namespace lumek {

std::string resultsCsv(const ResultSet& results);

}  // namespace lumek
