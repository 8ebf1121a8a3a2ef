// The results as Markdown: a heading and a table for each group.
#pragma once

#include <string>

#include "bench/results.h"

namespace lumek {

std::string resultsMarkdown(const ResultSet& results);

}  // namespace lumek
