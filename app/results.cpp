#include "app/results.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "bench/export_csv.h"
#include "bench/export_html.h"
#include "bench/export_markdown.h"
#include "bench/export_table.h"
#include "bench/history.h"
#include "bench/results.h"
#include "bench/stress_log.h"
#include "os/files.h"
#include "util/printable.h"
#include "util/switches.h"

namespace lumek {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Why the file cannot be read, or "".
std::string unreadable(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "it is a folder";
    // A FIFO or a device would hold the open (and the reading) for ever.
    const std::string kind = os::notRegularFile(path);
    if (!kind.empty()) return kind;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return "";
}

}  // namespace

std::vector<std::string> resultFiles(const std::string& text) {
    std::vector<std::string> files;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at])) ++at;
        // A quoted part may hold blanks ("C:\My Results\bench.jsonl").
        std::string word;
        bool quoted = false;
        for (; at < text.size() && (quoted || !isBlank(text[at])); ++at) {
            if (text[at] == '"')
                quoted = !quoted;
            else
                word += text[at];
        }
        if (word.empty()) continue;
        bool isSwitch = false;
        for (const char* s :
             {switches::kResults, switches::kReport, switches::kCsv, switches::kMarkdown})
            isSwitch = isSwitch || word.find(s) != std::string::npos;
        if (!isSwitch) files.push_back(word);
    }
    if (files.empty()) files.push_back("bench.jsonl");
    return files;
}

std::optional<int> ResultsRun(const std::string& text, const std::optional<std::string>& output,
                              std::ostream& out, std::ostream& err) {
    const bool report = switches::asks(text.c_str(), switches::kReport);
    if (!report && !switches::asks(text.c_str(), switches::kResults)) return std::nullopt;
    const bool csv = switches::asks(text.c_str(), switches::kCsv);
    const bool markdown = switches::asks(text.c_str(), switches::kMarkdown);
    if (report && (csv || markdown)) {
        err << "lumek: --report writes an HTML page; --csv and --markdown are for --results\n";
        return 1;
    }
    if (csv && markdown) {
        err << "lumek: --csv and --markdown: choose one\n";
        return 1;
    }

    int status = 0;
    const std::vector<std::string> files = resultFiles(text);
    std::vector<PastResult> records;
    std::vector<std::string> read;  // the files that could be read
    std::vector<StressLogData> logs;
    for (const std::string& file : files) {
        // The reader takes a missing file for an empty history, and a
        // folder reads as one; here both are a mistake to say.
        const std::string reason = unreadable(file);
        if (!reason.empty()) {
            err << "lumek: cannot read " << printable(file) << ": " << reason
                << (file == "bench.jsonl" ? " (lumek -bench writes it)\n" : "\n");
            status = 1;
            continue;
        }
        read.push_back(file);
        // A stress log says so in its first whole line; anything else is
        // read as benchmark records.
        std::string bytes, error;
        if (os::readRegularFile(file, uint64_t(1) << 30, bytes, error) == os::ReadResult::Read) {
            std::vector<StressLogData> runs = readStressLog(bytes);
            if (!runs.empty()) {
                if (!report)
                    err << "lumek: " << printable(file)
                        << " is a stress log, not benchmark records: --report draws it\n";
                size_t skipped = 0;
                for (StressLogData& run : runs) {
                    skipped += run.skippedLines;
                    run.source = file;
                    logs.push_back(std::move(run));
                }
                if (skipped > 0)
                    err << "lumek: " << printable(file) << ": skipped " << skipped
                        << (skipped == 1 ? " line that is" : " lines that are") << " no entry\n";
                continue;
            }
        }
        History history = readRecords(file);
        if (!history.skippedLines.empty())
            err << printable(skippedLinesNote(file, history.skippedLines)) << "\n";
        records.insert(records.end(), history.records.begin(), history.records.end());
    }
    const ResultSet results = groupResults(records);
    if (results.wrongLeftOut > 0)
        err << "lumek: left out " << results.wrongLeftOut
            << (results.wrongLeftOut == 1 ? " run that" : " runs that")
            << " found wrong frames (they have no valid scores)\n";

    if (report) {
        const std::string path = output.value_or("report.html");
        // Nothing read: a page of nothing must not take the place of one
        // made before.
        if (read.empty()) return status;
        // The page must never take the place of the records it was made from.
        for (const std::string& file : read) {
            std::error_code same;
            if (std::filesystem::equivalent(path, file, same)) {
                err << "lumek: cannot write " << printable(path) << ": it is "
                    << printable(file) << ", one of the files read; choose another --output\n";
                return 1;
            }
        }
        std::string error;
        if (!os::replaceFile(path, resultsHtml(results, read, logs), error)) {
            err << "lumek: cannot write " << printable(path) << ": " << error << "\n";
            return 1;
        }
        size_t runs = 0;
        for (const ResultGroup& group : results.groups) runs += group.runs.size();
        out << "Wrote " << printable(path) << ": ";
        if (runs > 0 || logs.empty()) out << runs << (runs == 1 ? " run" : " runs");
        if (runs > 0 && !logs.empty()) out << " and ";
        if (!logs.empty())
            out << logs.size() << (logs.size() == 1 ? " stress run" : " stress runs");
        out << " from " << read.size() << (read.size() == 1 ? " file.\n" : " files.\n");
        return status;
    }
    if (results.groups.empty() && !csv) {
        if (status == 0) err << "lumek: no benchmark results to show\n";
        return status;
    }
    out << (csv        ? resultsCsv(results)
            : markdown ? resultsMarkdown(results)
                       : resultsTable(results))
        << std::flush;
    return status;
}

}  // namespace lumek
