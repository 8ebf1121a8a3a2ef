// Earlier results gathered from several machines' files: grouped by what
// they measured, sorted by score, and shown as text, CSV, Markdown and an
// HTML page. The three files are three fake machines' histories.
#include "bench/results.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "bench/export_csv.h"
#include "bench/export_html.h"
#include "bench/export_markdown.h"
#include "bench/export_table.h"
#include "bench/history.h"
#include "support/files.h"

namespace lumek {
namespace {

std::string fixture(const std::string& name) { return LUMEK_RESULTS_DIR "/" + name; }

ResultSet threeMachines() {
    std::vector<PastResult> records;
    for (const char* name : {"alpha.jsonl", "beta.jsonl", "gamma.jsonl"}) {
        const History h = readRecords(fixture(name));
        records.insert(records.end(), h.records.begin(), h.records.end());
    }
    return groupResults(records);
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Results, ThreeMachinesAsCsv) {
    EXPECT_EQ(resultsCsv(threeMachines()), test::readFile(fixture("expected.csv")));
    // The line that is no record is said, and the others still read.
    const History beta = readRecords(fixture("beta.jsonl"));
    EXPECT_EQ(beta.skippedLines, std::vector<size_t>{2});
    EXPECT_EQ(beta.records.size(), 2u);
}

TEST(Results, OtherBenchmarkVersionsStandApartAndUnversionedRecordsAreVersionOne) {
    const ResultSet set = threeMachines();
    ASSERT_EQ(set.groups.size(), 2u);
    EXPECT_EQ(set.groups[0].benchmarkVersion, 2);
    ASSERT_EQ(set.groups[0].runs.size(), 1u);
    EXPECT_EQ(set.groups[0].runs[0].utc, "2026-12-07T09:00:00Z");
    EXPECT_EQ(set.groups[1].benchmarkVersion, 1);
    // The record of 1.1.0 (no version, no label) counts as version 1,
    // shown under its processor.
    const PastResult& old = set.groups[1].runs.back();
    EXPECT_EQ(old.programVersion, "1.1.0");
    EXPECT_EQ(machineName(old), "Intel(R) Xeon(R) Processor");
    // The run with wrong frames has no scores to show.
    EXPECT_EQ(set.wrongLeftOut, 1u);
    for (const ResultGroup& g : set.groups)
        for (const PastResult& run : g.runs) EXPECT_EQ(run.wrongFrames, 0u);
}

TEST(Results, AVersionThatIsNoCountMakesTheLineForeign) {
    const std::string good = test::lines(test::readFile(fixture("alpha.jsonl"))).at(1);
    PastResult past;
    ASSERT_TRUE(readPastResult(good, past));
    EXPECT_EQ(past.label, "alpha");
    for (const char* bad : {"0", "-1", "1.5", "\"2\"", "null"}) {
        const std::string line = std::regex_replace(good, std::regex("\"benchmarkVersion\":1"),
                                                    std::string("\"benchmarkVersion\":") + bad);
        EXPECT_FALSE(readPastResult(line, past)) << bad;
    }
}

TEST(Results, TextAndMarkdownTablesKeepTheirColumns) {
    ResultSet set = threeMachines();
    // Wide characters count once; a label cannot break a Markdown row.
    set.groups[1].runs[0].label = "größer | *fett*";
    const std::vector<std::string> text = test::lines(resultsTable(set));
    // Version 2's heading, its column heads, one run, a blank line, then
    // version 1's heading.
    ASSERT_GE(text.size(), 6u);
    EXPECT_EQ(text[0], "Workload 5e1f0c2a9b7d3e41, benchmark version 2 (higher is better):");
    EXPECT_EQ(text[4], "Workload 5e1f0c2a9b7d3e41, benchmark version 1 (higher is better):");
    const size_t timeColumn = text[5].find("Time (UTC)");
    for (size_t i = 6; i < text.size(); ++i) {
        const std::string& row = text[i];
        const size_t at = row.find("2026-");
        ASSERT_NE(at, std::string::npos) << row;
        EXPECT_EQ(textWidth(row.substr(0, at)), timeColumn) << row;
    }
    EXPECT_EQ(text.size(), 5u + 1 + 6);

    const std::string markdown = resultsMarkdown(set);
    EXPECT_NE(markdown.find("| größer \\| \\*fett\\* |"), std::string::npos) << markdown;
    for (const std::string& row : test::lines(markdown)) {
        if (row.empty() || row[0] != '|') continue;
        const size_t bars = count(row, "|") - count(row, "\\|");
        EXPECT_EQ(bars, 11u) << row;
    }
}

TEST(Results, PageHoldsOneBarPerMachineAndOnePointPerRunAndNoForeignMarkup) {
    ResultSet set = threeMachines();
    set.groups[1].runs[0].label = "<script>alert(1)</script>";
    const std::string html = resultsHtml(set, {"a.jsonl"});
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;"), std::string::npos);
    // Version 1: four machines (the unlabelled record's processor among
    // them), six runs; version 2: one of each. Two bar charts each.
    EXPECT_EQ(count(html, "<rect class=\"bar "), 2u * (4 + 1));
    EXPECT_EQ(count(html, "<circle class=\"point "), 6u + 1);
    // The latest run of version 1 is beta's, with 24 rounds.
    EXPECT_NE(html.find("Rounds of the latest run, one thread: beta, 2026-12-06T12:00:00Z"),
              std::string::npos);
    EXPECT_NE(html.find("24 rounds, median"), std::string::npos);
    EXPECT_NE(html.find("prefers-color-scheme: dark"), std::string::npos);
    // Nothing is fetched: the only address is the SVG namespace's name.
    EXPECT_EQ(count(html, "http"), count(html, "xmlns=\"http://www.w3.org/2000/svg\""));
    EXPECT_EQ(count(html, "src="), 0u);
}

}  // namespace
}  // namespace lumek
