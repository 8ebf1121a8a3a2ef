// "--results" and "--report": the records of earlier benchmark runs shown
// as a table on standard output (plain, "--csv" or "--markdown") or written
// as an HTML page of charts.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace lumek {

// The files the text names after the switches are taken out: every word
// (a quoted part may hold blanks) that holds none of "--results",
// "--report", "--csv", "--markdown"; "bench.jsonl" when it names none.
std::vector<std::string> resultFiles(const std::string& text);

// Runs "--results" or "--report" when the text asks for one and returns the
// exit status: 0, or 1 when a file could not be read or the page could not
// be written. `output` is the page's file ("report.html" when none).
std::optional<int> ResultsRun(const std::string& text, const std::optional<std::string>& output,
                              std::ostream& out, std::ostream& err);

}  // namespace lumek
